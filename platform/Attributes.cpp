#include "platform/Attributes.h"

#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/NameRules.h"
#include "platform/WinPath.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::uint32_t KeptInXattr = AttrHidden | AttrSystem;

// Reading an extended attribute relative to a folder's descriptor came with
// Linux 6.13; the C library may not name it yet (the number is the same on
// every architecture).
#ifdef SYS_getxattrat
constexpr long GetXattrAt = SYS_getxattrat;
#else
constexpr long GetXattrAt = 464;
#endif
struct XattrArgs {
    std::uint64_t value;
    std::uint32_t size;
    std::uint32_t flags;
};

FatVolumeHook& fatHook() {
    static FatVolumeHook hook;
    return hook;
}

bool onFatVolume(int fd) {
    if (fatHook().isFat)
        return fatHook().isFat(fd);
    struct statfs fs;
    return ::fstatfs(fd, &fs) == 0 && fs.f_type == MSDOS_SUPER_MAGIC;
}

// The hidden and system bits of the FAT entry open as fd.
std::uint32_t fatBits(int fd) {
    std::uint32_t bits = 0;
    const int failure = fatHook().readBits ? fatHook().readBits(fd, &bits)
                        : ::ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &bits) == 0 ? 0
                                                                            : errno;
    if (failure != 0)
        return 0;
    return (bits & ATTR_HIDDEN ? std::uint32_t(AttrHidden) : 0u) |
           (bits & ATTR_SYS ? std::uint32_t(AttrSystem) : 0u);
}

// FAT bits of the entry name of the folder at (at, name); never waits on a
// device or pipe, which FAT does not hold anyway.
std::uint32_t fatBitsAt(int at, const char* name, bool followLinks) {
    const int fd = ::openat(
        at, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (followLinks ? 0 : O_NOFOLLOW));
    if (fd < 0)
        return 0;
    const std::uint32_t bits = fatBits(fd);
    ::close(fd);
    return bits;
}

std::uint32_t parsedBits(const char* text, ssize_t n) {
    if (n <= 0)
        return 0;
    char copy[32];
    std::memcpy(copy, text, size_t(n));
    copy[n] = 0;
    return std::uint32_t(std::strtoul(copy, nullptr, 16)) & KeptInXattr;
}

} // namespace

void setFatVolumeHook(FatVolumeHook hook) {
    fatHook() = std::move(hook);
}

namespace host {

// Hidden and system bits of the file at host: the extended attribute's text
// "0x%x", or on a FAT volume its attribute bits.
std::uint32_t xattrBits(const QByteArray& host, bool followLinks) {
    char text[32];
    const ssize_t n = followLinks ? ::getxattr(host.constData(), DosAttribName, text, 31)
                                  : ::lgetxattr(host.constData(), DosAttribName, text, 31);
    // No extended attributes here: a FAT volume keeps its own bits. (A test's
    // stand-in for one lies on a file system that keeps them.)
    if ((n < 0 && (errno == ENOTSUP || errno == EOPNOTSUPP)) || fatHook().isFat) {
        const int fd = ::open(host.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY |
                                                    (followLinks ? 0 : O_NOFOLLOW));
        const bool fat = fd >= 0 && onFatVolume(fd);
        const std::uint32_t bits = fat ? fatBits(fd) : 0;
        if (fd >= 0)
            ::close(fd);
        if (fat || n < 0)
            return bits;
    }
    return parsedBits(text, n);
}

HiddenSystemReader::Store HiddenSystemReader::store(int dirFd) {
    if (m_store == Store::Unknown)
        m_store = onFatVolume(dirFd) ? Store::Fat : Store::Xattr;
    return m_store;
}

bool HiddenSystemReader::keeps(int dirFd) {
    if (store(dirFd) == Store::Xattr) {
        // Asked of the folder itself; a folder open O_PATH cannot say (EBADF).
        char text[32];
        if (::fgetxattr(dirFd, DosAttribName, text, sizeof text - 1) < 0 &&
            (errno == ENOTSUP || errno == EOPNOTSUPP))
            m_store = Store::None;
    }
    return m_store != Store::None;
}

std::uint32_t HiddenSystemReader::read(int dirFd, const char* name, bool followLinks) {
    switch (store(dirFd)) {
    case Store::Fat:
        // The entry itself is opened: O_PATH carries no ioctl. An empty name
        // is the folder.
        if (!*name)
            return fatBits(dirFd);
        return fatBitsAt(dirFd, name, followLinks);
    case Store::None:
        return 0;
    default:
        return fromXattr(dirFd, name, followLinks);
    }
}

std::uint32_t HiddenSystemReader::fromXattr(int dirFd, const char* name, bool followLinks) {
    char text[32];
    ssize_t n = -1;
    if (m_store == Store::Xattr) {
        XattrArgs args{std::uint64_t(reinterpret_cast<std::uintptr_t>(text)), 31, 0};
        const unsigned flags =
            (followLinks ? 0 : AT_SYMLINK_NOFOLLOW) | (*name ? 0 : AT_EMPTY_PATH);
        n = ::syscall(GetXattrAt, dirFd, name, flags, DosAttribName, &args, sizeof args);
        if (n < 0 && (errno == ENOSYS || errno == EPERM))
            m_store = Store::ProcPath; // an older kernel, or a filter that does not know it
    }
    if (m_store == Store::ProcPath) {
        // The folder reached through its descriptor: one short lookup, not
        // the folder's whole path.
        char path[320];
        if (std::snprintf(path, sizeof path, "/proc/self/fd/%d/%s", dirFd, name) >=
            int(sizeof path))
            return 0; // no name of one entry is that long
        n = followLinks ? ::getxattr(path, DosAttribName, text, 31)
                        : ::lgetxattr(path, DosAttribName, text, 31);
    }
    if (n < 0 && (errno == ENOTSUP || errno == EOPNOTSUPP)) {
        m_store = Store::None; // the rest of the folder would answer the same
        return 0;
    }
    return parsedBits(text, n);
}

std::uint32_t attributesFromStat(const struct stat& st) {
    std::uint32_t attributes = S_ISDIR(st.st_mode) ? AttrDirectory : AttrArchive;
    if (!(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)))
        attributes |= AttrReadOnly;
    return attributes;
}

} // namespace host

using host::attributesFromStat;
using host::DosAttribName;
using host::dotName;
using host::xattrBits;

std::uint32_t fileAttributes(const QString& path) {
    const QString host = toHostPath(path);
    if (host.isEmpty())
        return InvalidAttributes;
    const QByteArray h = QFile::encodeName(host);
    struct stat st;
    if (::stat(h.constData(), &st) != 0)
        return InvalidAttributes;
    std::uint32_t attributes = attributesFromStat(st) | xattrBits(h, true);
    const QString name = winpath::fileName(winpath::withoutTrailingBackslash(path));
    if (name.startsWith(u'.') && !dotName(name))
        attributes |= AttrHidden;
    return attributes;
}

int setFileAttributes(const QString& path, std::uint32_t attributes) {
    int error = NoError;
    const QString host = toHostPath(path, &error);
    if (host.isEmpty())
        return error;
    const QByteArray h = QFile::encodeName(host);
    struct stat st;
    if (::stat(h.constData(), &st) != 0)
        return winErrorFromErrno(errno);
    mode_t mode = st.st_mode & 07777;
    if (attributes & AttrReadOnly)
        mode &= ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH);
    else if (!(mode & (S_IWUSR | S_IWGRP | S_IWOTH)))
        mode |= S_IWUSR;
    auto applyMode = [&] {
        return mode == (st.st_mode & 07777) || ::chmod(h.constData(), mode) == 0;
    };
    auto applyXattr = [&] {
        const std::uint32_t kept = attributes & KeptInXattr;
        if (kept) {
            char text[16];
            const int len = std::snprintf(text, sizeof text, "0x%x", unsigned(kept));
            return ::setxattr(h.constData(), DosAttribName, text, size_t(len), 0) == 0;
        }
        return ::removexattr(h.constData(), DosAttribName) == 0 || errno == ENODATA ||
               errno == ENOTSUP;
    };
    // The extended attribute needs write access: change it while the file
    // is still (or already) writable.
    const bool gainsWrite = !(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) && (mode & S_IWUSR);
    const bool done = gainsWrite ? applyMode() && applyXattr() : applyXattr() && applyMode();
    return done ? NoError : winErrorFromErrno(errno);
}

bool fileExists(const QString& path) {
    const std::uint32_t attributes = fileAttributes(path);
    return attributes != InvalidAttributes && !(attributes & AttrDirectory);
}

bool folderExists(const QString& path) {
    const std::uint32_t attributes = fileAttributes(path);
    return attributes != InvalidAttributes && (attributes & AttrDirectory);
}

} // namespace platform
