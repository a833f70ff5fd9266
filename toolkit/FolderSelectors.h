#pragma once

#include "platform/Volumes.h"

#include <QComboBox>
#include <QFileSystemWatcher>
#include <QListWidget>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

class QFontMetrics;
class QLabel;
class QLineEdit;

// The linked folder selectors: a drive selector, a folder list and a file
// list, wired to each other, to a label showing the folder and to an edit box
// showing the chosen file. All three start on the process's working folder.
// Folders are Windows paths without trailing backslash, except a drive root.
namespace toolkit {

class DriveComboBox;
class DirectoryListBox;
struct FolderListing;

// folder shortened to width pixels: leading folders give way to "...\", then
// the drive, until the text fits or only the last name is left.
QString shortenFolder(const QString& folder, const QFontMetrics& metrics, int width);

// Text of a drive selector entry: "c: [label]", "c: [Folder]" for a folder of
// a larger file system, "x: \\server\share", "z: [Système]" for the whole
// system, "d: [label]" for a removable volume, or "a:" without medium.
QString driveEntryText(QChar letter, const platform::Volume& volume);

// Second line of the error box of a drive that has no medium.
QString driveNotReadyText(QChar letter);

// The normal files of a folder (no folders, no hidden or system files) that
// match the mask, sorted.
class FileListBox : public QListWidget {
    Q_OBJECT
public:
    explicit FileListBox(QWidget* parent = nullptr);

    // "*.*" by default; several masks may be given, separated by ";".
    void setMask(const QString& mask);
    QString mask() const { return m_mask; }
    void setDirectory(const QString& folder);
    QString directory() const { return m_directory; }
    // The edit box receives the selected name, or the mask when none is.
    void setFileEdit(QLineEdit* edit);
    // The selected file's name without its folder; empty when none is selected.
    QString fileName() const;
    // Rereads the disk, makes the folder the working folder, shows the mask again.
    void refresh();

signals:
    void changed();

private:
    friend class DirectoryListBox;
    // As setDirectory; listing, when given, is that folder's, read already.
    void showFolder(const QString& folder, const FolderListing* listing);
    void readFiles(const FolderListing* listing = nullptr);
    void updateEdit();

    QString m_mask = QStringLiteral("*.*");
    QString m_directory;
    QPointer<QLineEdit> m_edit;
};

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

// The drives a to z that exist, each with its text and a picture of its kind.
class DriveComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit DriveComboBox(QWidget* parent = nullptr);

    void setDirList(DirectoryListBox* list);
    QChar drive() const { return m_drive; }
    // Makes the drive current (through the linked folder list, if any); raises
    // platform::IoError when it cannot be, and then stays on the drive that is
    // really current.
    void setDrive(QChar letter);
    // Reads the drives afresh (a medium inserted, a drive added).
    void readDrives();
    // Reads the drives again when a letter came, went or moved since.
    void followDrives();

    static constexpr int PollInterval = 1500; // ms

signals:
    void changed();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    friend class DirectoryListBox;
    void chooseFromUser(int index);
    void selectLetter(QChar letter);
    void followList(QChar letter);

    QChar m_drive;
    QPointer<DirectoryListBox> m_dirs;
    QStringList m_shownDrives; // letter and host root of each entry
    QTimer m_poll;
    QFileSystemWatcher m_watcher;
};

} // namespace toolkit
