#pragma once

#include <QString>
#include <QTemporaryDir>

// A drive table of the test's own in a temporary folder: PELMORA_DRIVES points
// at it while the object lives, and the working folders start afresh. Nothing
// outside the temporary folder is touched.
class TempDrives {
public:
    TempDrives();
    ~TempDrives();
    TempDrives(const TempDrives&) = delete;
    TempDrives& operator=(const TempDrives&) = delete;

    bool isValid() const { return m_dir.isValid(); }
    // Host folder of the whole temporary tree.
    QString hostRoot() const { return m_dir.path(); }
    // Makes letter a drive whose root is a new host folder below the tree
    // (or target when given); returns that host folder.
    QString addDrive(QChar letter, const QString& target = QString());
    // A drive whose link points nowhere (a reader without medium).
    void addBrokenDrive(QChar letter);
    // Creates the host folders of a Windows path on a defined drive.
    QString makeFolder(const QString& winPath);
    // Writes a file at a Windows path (folders created); returns its host path.
    QString writeFile(const QString& winPath, const QByteArray& content);
    // Reads a file at a Windows path, or a null array when it is missing.
    QByteArray readFile(const QString& winPath) const;

private:
    QTemporaryDir m_dir;
    QByteArray m_oldDrives;
    QString m_oldHostFolder;
    bool m_hadDrives = false;
};
