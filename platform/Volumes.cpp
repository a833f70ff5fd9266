#include "platform/Volumes.h"

#include "platform/Drives.h"
#include "platform/UniqueFd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <unistd.h>

#include <mutex>

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

QList<MountPoint> hostMounts() {
    QList<MountPoint> mounts;
    for (const QStorageInfo& storage : QStorageInfo::mountedVolumes()) {
        if (!storage.isValid())
            continue;
        MountPoint mount;
        mount.rootPath = storage.rootPath();
        mount.device = storage.device();
        mount.fileSystemType = storage.fileSystemType();
        mount.label = storage.isReady() ? storage.name() : QString();
        mount.removableDevice = deviceIsRemovable(mount.device);
        mounts << mount;
    }
    return mounts;
}

// The host's mounts, listed again only when the kernel says they changed
// (poll on /proc/self/mounts): the drive letters are asked for on every path.
class HostMountCache {
public:
    QList<MountPoint> mounts() {
        const std::lock_guard lock(m_mutex);
        if (changed())
            m_mounts = hostMounts();
        return m_mounts;
    }

private:
    bool changed() {
        if (!m_fd.isOpen()) {
            m_fd.reset(::open("/proc/self/mounts", O_RDONLY | O_CLOEXEC));
            return true;
        }
        pollfd watch{m_fd.get(), POLLPRI, 0};
        return ::poll(&watch, 1, 0) > 0 && (watch.revents & (POLLPRI | POLLERR));
    }

    std::mutex m_mutex;
    UniqueFd m_fd; // kept open for the program's life
    QList<MountPoint> m_mounts;
};

struct ListerSlot {
    std::mutex mutex;
    MountLister lister;
};

ListerSlot& listerSlot() {
    static ListerSlot slot;
    return slot;
}

QString userName() {
    if (const passwd* entry = ::getpwuid(::getuid()))
        return QFile::decodeName(entry->pw_name);
    return qEnvironmentVariable("USER");
}

} // namespace

void setMountLister(MountLister lister) {
    const std::lock_guard lock(listerSlot().mutex);
    listerSlot().lister = std::move(lister);
}

QList<MountPoint> mountedFileSystems() {
    MountLister lister;
    {
        const std::lock_guard lock(listerSlot().mutex);
        lister = listerSlot().lister;
    }
    if (lister)
        return lister();
    static HostMountCache cache;
    return cache.mounts();
}

QStringList removableMediaFolders() {
    const QString user = userName();
    if (user.isEmpty())
        return {};
    return {QStringLiteral("/media/") + user, QStringLiteral("/run/media/") + user};
}

bool isRemovableMount(const MountPoint& mount) {
    const QString root = QDir::cleanPath(mount.rootPath);
    if (root.isEmpty() || root == u"/")
        return false; // the system itself, even started from a USB key, is z:
    if (mount.removableDevice)
        return true;
    for (const QString& folder : removableMediaFolders())
        if (root.startsWith(folder + u'/'))
            return true;
    return false;
}

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
    const QChar upper = letter.toUpper();
    for (const RemovableDrive& drive : removableDrives()) {
        if (drive.letter == upper) {
            volume.kind = kindOfMount(drive.mount.fileSystemType, drive.mount.device, true);
            volume.label = drive.mount.label;
            // Desktops mount a medium in a folder named after its label: where
            // the label cannot be read (no udev), that name stands for it.
            if (volume.label.isEmpty())
                volume.label = QFileInfo(QDir::cleanPath(drive.mount.rootPath)).fileName();
            return volume;
        }
    }
    if (!driveReady(upper)) {
        volume.kind = DriveKind::Removable;
        return volume;
    }
    const QString root = QFileInfo(driveHostRoot(upper)).canonicalFilePath();
    volume.wholeSystem = root == u"/";
    const QStorageInfo storage(root);
    if (!storage.isValid())
        return volume; // a fixed drive whose label cannot be read
    const QByteArray device = storage.device();
    const QByteArray type = storage.fileSystemType();
    volume.kind = kindOfMount(type, device, deviceIsRemovable(device));
    if (volume.kind == DriveKind::Remote) {
        volume.remoteName = QFile::decodeName(device);
        return volume;
    }
    if (storage.isReady())
        volume.label = storage.name();
    if (!root.isEmpty() && QDir::cleanPath(storage.rootPath()) != root)
        volume.folderName = QFileInfo(root).fileName();
    return volume;
}

bool onRemovableVolume(const QString& path) {
    const QString host = QFileInfo(toHostPath(path)).canonicalFilePath();
    if (host.isEmpty())
        return false;
    for (const MountPoint& mount : mountedFileSystems()) {
        if (!isRemovableMount(mount))
            continue;
        QString root = QFileInfo(mount.rootPath).canonicalFilePath();
        if (root.isEmpty())
            continue;
        if (!root.endsWith(u'/'))
            root += u'/';
        if (host == root.chopped(1) || host.startsWith(root))
            return true;
    }
    return false;
}

} // namespace platform
