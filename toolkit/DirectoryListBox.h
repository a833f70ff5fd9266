#pragma once

#include <QListWidget>
#include <QPointer>
#include <QString>

class QFontMetrics;
class QLabel;

namespace toolkit {

class DriveComboBox;
class FileListBox;
struct FolderListing;

// folder shortened to width pixels: leading folders give way to "...\", then
// the drive, until the text fits or only the last name is left.
QString shortenFolder(const QString& folder, const QFontMetrics& metrics, int width);

// The drive root, each folder on the path, the current folder and its
// subfolders. A double click or Enter on an entry opens that folder.
class DirectoryListBox : public QListWidget {
    Q_OBJECT
public:
    explicit DirectoryListBox(QWidget* parent = nullptr);

    void setFileList(FileListBox* list);
    void setDirLabel(QLabel* label);
    QString directory() const { return m_directory; }
    // Makes folder the working folder and shows it; raises platform::IoError
    // when it cannot be reached (nothing changes then).
    void setDirectory(const QString& folder);
    QChar drive() const;
    // Moves to that drive's current folder when the letter differs from the
    // current drive (case ignored); raises platform::IoError when the drive
    // cannot be made current.
    void setDrive(QChar letter);
    // Rereads the disk. A folder that has vanished gives way to the nearest
    // folder above it that still exists.
    void refresh();

signals:
    void changed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class DriveComboBox;
    void readFolders(const FolderListing* listing = nullptr);
    void showDirectory(const FolderListing* listing);
    void updateLabel();
    void openEntry(QListWidgetItem* item);

    QString m_directory;
    QPointer<FileListBox> m_files;
    QPointer<QLabel> m_label;
    QPointer<DriveComboBox> m_drives;
};

} // namespace toolkit
