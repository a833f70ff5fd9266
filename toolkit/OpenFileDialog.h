#pragma once

#include <QDialog>
#include <QList>
#include <QPair>
#include <QString>

class QComboBox;
class QLineEdit;

namespace toolkit {

class DriveComboBox;
class DirectoryListBox;
class FileListBox;

// The programs' own open-file dialog, in their language and their paths: a
// name box over the file list, the folder list, the file types and the
// drives, "Ouvrir" and "Annuler". A typed name of a file that does not exist
// is taken as it is; a typed mask filters the list; a typed folder is entered.
class OpenFileDialog : public QDialog {
    Q_OBJECT
public:
    // (caption, mask) pairs, the first shown at first, e.g.
    // {"Icônes (*.ico)", "*.ico"}.
    using Filters = QList<QPair<QString, QString>>;

    OpenFileDialog(const QString& title, const Filters& filters, QWidget* parent = nullptr);

    // Shows folder (Windows path); raises platform::IoError when it cannot be.
    void setDirectory(const QString& folder);
    QString directory() const;
    // The Windows path chosen, once accepted.
    QString selectedFile() const { return m_selected; }

    QLineEdit* nameEdit() const { return m_name; }
    FileListBox* files() const { return m_files; }
    DirectoryListBox* folders() const { return m_folders; }
    DriveComboBox* drives() const { return m_drives; }
    QComboBox* types() const { return m_types; }

    // Asks for a file starting in folder; the Windows path chosen, or an empty
    // string when the user cancels. The working folder is left as it was.
    static QString getOpenFileName(QWidget* parent, const QString& title, const QString& folder,
                                   const Filters& filters);

public slots:
    void accept() override;

private:
    QLineEdit* m_name;
    FileListBox* m_files;
    DirectoryListBox* m_folders;
    DriveComboBox* m_drives;
    QComboBox* m_types;
    Filters m_filters;
    QString m_selected;
};

} // namespace toolkit
