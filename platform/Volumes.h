#pragma once

#include <QByteArray>
#include <QString>

// What the drive selector shows about a drive: its kind, and its volume label
// or the remote name of its share.
namespace platform {

enum class DriveKind { Removable, Fixed, Remote, CdRom, RamDisk };

struct Volume {
    DriveKind kind = DriveKind::Fixed;
    QString label;      // empty when the volume has none or it cannot be read
    QString remoteName; // the share a network drive stands for
};

// Kind of the file system mounted from device with the given type (as
// /proc/mounts names them). removableMedium tells whether the device's
// medium can be taken out.
DriveKind kindOfMount(const QByteArray& fileSystemType, const QByteArray& device,
                      bool removableMedium);

// Looks at the file system that holds the drive's root. A drive whose root
// cannot be reached (no medium) is taken as removable, which needs no label.
Volume volumeOf(QChar letter);

} // namespace platform
