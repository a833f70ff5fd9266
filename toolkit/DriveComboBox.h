#pragma once

#include "platform/Volumes.h"

#include <QComboBox>
#include <QFileSystemWatcher>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

namespace toolkit {

class DirectoryListBox;

// Text of a drive selector entry: "c: [label]", "c: [Folder]" for a folder of
// a larger file system, "x: \\server\share", "z: [Système]" for the whole
// system, "d: [label]" for a removable volume, or "a:" without medium.
QString driveEntryText(QChar letter, const platform::Volume& volume);

// Second line of the error box of a drive that has no medium.
QString driveNotReadyText(QChar letter);

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
