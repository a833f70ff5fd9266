#pragma once

#include <QListWidget>
#include <QPointer>
#include <QString>

class QLineEdit;

namespace toolkit {

class DirectoryListBox;
struct FolderListing;

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

} // namespace toolkit
