#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// What the drive selector shows about a drive: its kind, and its volume label
// or the remote name of its share.
namespace platform {

enum class DriveKind { Removable, Fixed, Remote, CdRom, RamDisk };

struct Volume {
    DriveKind kind = DriveKind::Fixed;
    QString label;      // empty when the volume has none or it cannot be read
    QString remoteName; // the share a network drive stands for
    // Set when the drive is a folder inside a larger file system: that
    // folder's name, which tells the drive apart better than the volume's label.
    QString folderName;
    // The drive stands for the whole host system ("/"), as z: does by default.
    bool wholeSystem = false;
};

// A mounted file system, as the host lists it.
struct MountPoint {
    QString rootPath; // where it is mounted
    QByteArray device;
    QByteArray fileSystemType;
    QString label;
    bool removableDevice = false; // the kernel says its medium can be taken out
};

// Lists the mounted file systems. Tests put their own in place; an empty
// function brings back the host's (read again only when the host's mounts
// change).
using MountLister = std::function<QList<MountPoint>()>;
void setMountLister(MountLister lister);
QList<MountPoint> mountedFileSystems();

// Where the desktop mounts the user's removable media: /media/$USER and
// /run/media/$USER.
QStringList removableMediaFolders();

// A mount that is a removable medium: one of the user's media folders holds
// it, or its device's medium can be taken out.
bool isRemovableMount(const MountPoint& mount);

// Kind of the file system mounted from device with the given type (as
// /proc/mounts names them). removableMedium tells whether the device's
// medium can be taken out.
DriveKind kindOfMount(const QByteArray& fileSystemType, const QByteArray& device,
                      bool removableMedium);

// Looks at the file system that holds the drive's root. A removable volume
// that stands for a drive letter of its own answers from its mount. A drive whose root
// cannot be reached (no medium) is taken as removable, which needs no label.
Volume volumeOf(QChar letter);

// True when the folder at a Windows path lies on a mounted removable medium,
// whichever drive letter reaches it (its own, or a folder of z:).
bool onRemovableVolume(const QString& path);

} // namespace platform
