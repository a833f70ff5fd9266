#include "platform/Volumes.h"

#include "platform/Drives.h"

#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

namespace platform {

namespace {

bool isNetworkType(const QByteArray& type) {
    static const QByteArray network[] = {
        "nfs",  "nfs4",      "cifs", "smb3",   "smbfs", "ncpfs", "afs",
        "ceph", "glusterfs", "9p",   "lustre", "gpfs",  "coda",  "davfs",
    };
    for (const QByteArray& name : network)
        if (type == name)
            return true;
    // FUSE file systems that reach another machine.
    static const QByteArray fuseNetwork[] = {"sshfs",     "davfs",    "rclone",   "s3fs",
                                             "glusterfs", "smbnetfs", "curlftpfs"};
    if (type.startsWith("fuse.")) {
        const QByteArray sub = type.mid(5);
        for (const QByteArray& name : fuseNetwork)
            if (sub == name)
                return true;
    }
    return false;
}

// The kernel says whether a block device's medium can be taken out; a
// partition answers through the disk that holds it.
bool deviceIsRemovable(const QByteArray& device) {
    if (!device.startsWith("/dev/"))
        return false;
    const QString name = QFileInfo(QFile::decodeName(device)).canonicalFilePath().section(u'/', -1);
    if (name.isEmpty())
        return false;
    const QString sys = QFileInfo(QStringLiteral("/sys/class/block/") + name).canonicalFilePath();
    if (sys.isEmpty())
        return false;
    for (const QString& candidate :
         {sys + QStringLiteral("/removable"), sys + QStringLiteral("/../removable")}) {
        QFile file(candidate);
        if (file.open(QIODevice::ReadOnly))
            return file.read(1) == "1";
    }
    return false;
}

} // namespace

DriveKind kindOfMount(const QByteArray& fileSystemType, const QByteArray& device,
                      bool removableMedium) {
    const QByteArray type = fileSystemType.toLower();
    if (isNetworkType(type))
        return DriveKind::Remote;
    if (type == "iso9660" || type == "udf" || device.startsWith("/dev/sr") ||
        device.startsWith("/dev/cdrom"))
        return DriveKind::CdRom;
    if (type == "tmpfs" || type == "ramfs")
        return DriveKind::RamDisk;
    if (removableMedium)
        return DriveKind::Removable;
    return DriveKind::Fixed;
}

Volume volumeOf(QChar letter) {
    Volume volume;
    if (!driveReady(letter)) {
        volume.kind = DriveKind::Removable;
        return volume;
    }
    const QStorageInfo storage(driveHostRoot(letter));
    if (!storage.isValid())
        return volume; // a fixed drive whose label cannot be read
    const QByteArray device = storage.device();
    const QByteArray type = storage.fileSystemType();
    volume.kind = kindOfMount(type, device, deviceIsRemovable(device));
    if (volume.kind == DriveKind::Remote)
        volume.remoteName = QFile::decodeName(device);
    else if (storage.isReady())
        volume.label = storage.name();
    return volume;
}

} // namespace platform
