#include "toolkit/DriveComboBox.h"

#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/Volumes.h"
#include "platform/WinPath.h"
#include "platform/WorkingFolder.h"
#include "toolkit/DirectoryListBox.h"
#include "toolkit/FolderListing.h"
#include "toolkit/MessageBox.h"

#include <QFileInfo>
#include <QSignalBlocker>
#include <QStyle>

namespace toolkit {

namespace {

QIcon driveIcon(platform::DriveKind kind, const QStyle* style) {
    switch (kind) {
    case platform::DriveKind::Removable:
        return style->standardIcon(QStyle::SP_DriveFDIcon);
    case platform::DriveKind::Remote:
        return style->standardIcon(QStyle::SP_DriveNetIcon);
    case platform::DriveKind::CdRom:
        return style->standardIcon(QStyle::SP_DriveCDIcon);
    case platform::DriveKind::RamDisk:
        return style->standardIcon(QStyle::SP_ComputerIcon);
    case platform::DriveKind::Fixed:
        break;
    }
    return style->standardIcon(QStyle::SP_DriveHDIcon);
}

} // namespace

QString driveEntryText(QChar letter, const platform::Volume& volume) {
    const QString text = QString(letter.toLower()) + u':';
    // The root of the whole system has no label worth showing: it says what it is.
    if (volume.wholeSystem)
        return text + QStringLiteral(" [Système]");
    switch (volume.kind) {
    case platform::DriveKind::Removable:
        // A card or key is known by its label; a reader without medium shows none.
        return volume.label.isEmpty() ? text
                                      : text + QStringLiteral(" [") + volume.label.toLower() + u']';
    case platform::DriveKind::Remote:
        return text + u' ' + volume.remoteName.toLower();
    default:
        // A folder standing for a drive is known by its own name, kept as written.
        if (!volume.folderName.isEmpty())
            return text + QStringLiteral(" [") + volume.folderName + u']';
        return text + QStringLiteral(" [") + volume.label.toLower() + u']';
    }
}

DriveComboBox::DriveComboBox(QWidget* parent)
    : QComboBox(parent), m_drive(platform::winpath::driveLetter(platform::currentFolder())) {
    readDrives();
    connect(this, &QComboBox::activated, this, &DriveComboBox::chooseFromUser);
    // Media come and go while the window is shown: the media folders and the
    // table tell at once where they can, a light poll catches the rest.
    m_poll.setInterval(PollInterval);
    connect(&m_poll, &QTimer::timeout, this, &DriveComboBox::followDrives);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &DriveComboBox::followDrives);
}

void DriveComboBox::showEvent(QShowEvent* event) {
    QComboBox::showEvent(event);
    QStringList folders = platform::removableMediaFolders();
    folders << platform::driveTableFolder();
    for (const QString& folder : std::as_const(folders))
        if (QFileInfo(folder).isDir() && !m_watcher.directories().contains(folder))
            m_watcher.addPath(folder);
    followDrives();
    m_poll.start();
}

void DriveComboBox::hideEvent(QHideEvent* event) {
    m_poll.stop();
    QComboBox::hideEvent(event);
}

void DriveComboBox::followDrives() {
    QStringList drives;
    for (const QChar letter : platform::definedDrives())
        drives << QString(letter) + platform::driveHostRoot(letter);
    if (drives == m_shownDrives)
        return;
    readDrives();
    // The drive in use has gone (its medium taken out): the folder list shows
    // what is left, and stays on the drive's letter until another is chosen.
    if (m_dirs && findData(QString(m_drive)) < 0) {
        try {
            m_dirs->refresh();
        } catch (const platform::Error&) {
            // Nothing left to list: the entries stay until another drive is chosen.
        }
    }
}

void DriveComboBox::setDirList(DirectoryListBox* list) {
    m_dirs = list;
    if (m_dirs) {
        m_dirs->m_drives = this;
        followList(m_dirs->drive());
    }
}

void DriveComboBox::setDrive(QChar letter) {
    const QChar upper = letter.toUpper();
    try {
        if (m_dirs) {
            m_dirs->setDrive(upper); // the list brings us along when it moves
            followList(m_dirs->drive());
        } else if (upper != m_drive) {
            enterDrive(upper);
            followList(upper);
        }
    } catch (...) {
        selectLetter(m_drive);
        throw;
    }
    selectLetter(m_drive);
}

void DriveComboBox::readDrives() {
    const QSignalBlocker blocker(this);
    clear();
    m_shownDrives.clear();
    for (const QChar letter : platform::definedDrives()) {
        const platform::Volume volume = platform::volumeOf(letter);
        addItem(driveIcon(volume.kind, style()), driveEntryText(letter, volume), QString(letter));
        m_shownDrives << QString(letter) + platform::driveHostRoot(letter);
    }
    selectLetter(m_drive);
}

QString driveNotReadyText(QChar letter) {
    // The letter is the one the selector shows.
    return QStringLiteral("Le lecteur %1: n'est pas prêt : insérez-y un support, ou vérifiez "
                          "où il mène dans la table des lecteurs.")
        .arg(letter.toLower());
}

void DriveComboBox::chooseFromUser(int index) {
    const QString letter = itemData(index).toString();
    if (letter.isEmpty())
        return;
    // A drive without medium must not leave the window stuck on it; the box
    // says which drive it is.
    runGuarded(
        [&] {
            try {
                setDrive(letter.at(0));
            } catch (const platform::IoError& error) {
                if (error.code() != platform::ErrNotReady)
                    throw;
                throw platform::Error(errorBoxText(error.message()) + u'\r' +
                                      driveNotReadyText(letter.at(0)));
            }
        },
        window());
    selectLetter(m_drive);
}

void DriveComboBox::selectLetter(QChar letter) {
    const QSignalBlocker blocker(this);
    setCurrentIndex(findData(QString(letter.toUpper())));
}

void DriveComboBox::followList(QChar letter) {
    const QChar upper = letter.toUpper();
    if (findData(QString(upper)) < 0)
        readDrives(); // a drive that came after the list was read
    const bool moved = upper != m_drive;
    m_drive = upper;
    selectLetter(upper);
    if (moved)
        emit changed();
}

} // namespace toolkit
