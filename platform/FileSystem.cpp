#include "platform/FileSystem.h"

#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/WinPath.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr const char* DosAttribName = "user.DOSATTRIB";
constexpr std::uint32_t KeptInXattr = AttrHidden | AttrSystem;

QByteArray encoded(const QString& hostPath) { return QFile::encodeName(hostPath); }

// Hidden and system bits kept in the extended attribute, as text "0x%x".
std::uint32_t xattrBits(const QByteArray& host, bool followLinks) {
    char text[32] = {};
    const ssize_t n = followLinks ? ::getxattr(host.constData(), DosAttribName, text, 31)
                                  : ::lgetxattr(host.constData(), DosAttribName, text, 31);
    if (n <= 0)
        return 0;
    text[n] = 0;
    return std::uint32_t(std::strtoul(text, nullptr, 16)) & KeptInXattr;
}

std::uint32_t attributesFromStat(const struct stat& st) {
    std::uint32_t attributes = S_ISDIR(st.st_mode) ? AttrDirectory : AttrArchive;
    if (!(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)))
        attributes |= AttrReadOnly;
    return attributes;
}

bool dotName(const QString& name) { return name == u"." || name == u".."; }

// Windows wildcard match: '*' any run, '?' any one character.
bool globMatch(QStringView name, QStringView pattern) {
    qsizetype n = 0, p = 0, starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == u'?' || pattern[p].toCaseFolded() == name[n].toCaseFolded())) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

} // namespace

std::uint32_t fileAttributes(const QString& path) {
    const QString host = toHostPath(path);
    if (host.isEmpty())
        return InvalidAttributes;
    const QByteArray h = encoded(host);
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
    const QByteArray h = encoded(host);
    struct stat st;
    if (::stat(h.constData(), &st) != 0)
        return winErrorFromErrno(errno);
    mode_t mode = st.st_mode & 07777;
    if (attributes & AttrReadOnly)
        mode &= ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH);
    else if (!(mode & (S_IWUSR | S_IWGRP | S_IWOTH)))
        mode |= S_IWUSR;
    if (mode != (st.st_mode & 07777) && ::chmod(h.constData(), mode) != 0)
        return winErrorFromErrno(errno);
    const std::uint32_t kept = attributes & KeptInXattr;
    if (kept) {
        char text[16];
        const int len = std::snprintf(text, sizeof text, "0x%x", unsigned(kept));
        if (::setxattr(h.constData(), DosAttribName, text, size_t(len), 0) != 0)
            return winErrorFromErrno(errno);
    } else if (::removexattr(h.constData(), DosAttribName) != 0 && errno != ENODATA &&
               errno != ENOTSUP) {
        return winErrorFromErrno(errno);
    }
    return NoError;
}

bool fileExists(const QString& path) {
    const std::uint32_t attributes = fileAttributes(path);
    return attributes != InvalidAttributes && !(attributes & AttrDirectory);
}

bool folderExists(const QString& path) {
    const std::uint32_t attributes = fileAttributes(path);
    return attributes != InvalidAttributes && (attributes & AttrDirectory);
}

bool matchesWildcard(const QString& name, const QString& pattern) {
    if (pattern == u"*.*" || pattern == u"*")
        return true;
    if (globMatch(name, pattern))
        return true;
    // "name.*" also finds "name" without an extension, as on Windows.
    return pattern.endsWith(u".*") && !name.contains(u'.') &&
           globMatch(name, QStringView(pattern).chopped(2));
}

QList<DirEntry> listFolder(const QString& pattern, int* error) {
    int err = NoError;
    const QString full = winpath::expand(pattern);
    const QString folder = winpath::folderPart(full);
    const QString mask = winpath::fileName(full);
    QList<DirEntry> entries;
    const QString host = toHostPath(folder, &err);
    DIR* dir = host.isEmpty() ? nullptr : ::opendir(encoded(host).constData());
    if (!dir) {
        if (error)
            *error = err != NoError ? err : (errno == ENOENT ? ErrPathNotFound : winErrorFromErrno(errno));
        return entries;
    }
    const int dirFd = ::dirfd(dir);
    while (const dirent* d = ::readdir(dir)) {
        const QString name = QFile::decodeName(d->d_name);
        if (dotName(name) || name.contains(u'\\') || !matchesWildcard(name, mask))
            continue;
        struct stat st;
        if (::fstatat(dirFd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // vanished since readdir
        DirEntry entry{name, 0};
        if (S_ISLNK(st.st_mode)) {
            struct stat target;
            const bool toFolder =
                ::fstatat(dirFd, d->d_name, &target, 0) == 0 && S_ISDIR(target.st_mode);
            entry.attributes = AttrReparsePoint | (toFolder ? AttrDirectory : AttrArchive);
        } else {
            entry.attributes = attributesFromStat(st);
            entry.attributes |= xattrBits(encoded(host + u'/' + name), false);
        }
        if (name.startsWith(u'.'))
            entry.attributes |= AttrHidden;
        entries.append(std::move(entry));
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const DirEntry& a, const DirEntry& b) {
        const int c = a.name.compare(b.name, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.name < b.name;
    });
    if (!winpath::isDriveRoot(winpath::withoutTrailingBackslash(folder))) {
        QList<DirEntry> dots;
        for (const QString& dot : {QStringLiteral("."), QStringLiteral("..")})
            if (matchesWildcard(dot, mask))
                dots.append(DirEntry{dot, AttrDirectory});
        entries = dots + entries;
    }
    if (error)
        *error = NoError;
    return entries;
}

int moveFile(const QString& from, const QString& to) {
    int error = NoError;
    const QString hostFrom = toHostPath(from, &error);
    if (hostFrom.isEmpty())
        return error;
    const QString hostTo = toHostPathExactName(to, &error);
    if (hostTo.isEmpty())
        return error;
    const QByteArray f = encoded(hostFrom), t = encoded(hostTo);
    struct stat st;
    if (::lstat(f.constData(), &st) != 0)
        return winErrorFromErrno(errno);
    if (hostFrom == hostTo)
        return NoError;
    if (::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE) == 0)
        return NoError;
    if (errno != EINVAL && errno != ENOSYS)
        return winErrorFromErrno(errno);
    // The file system refuses the no-replace flag. For a file, link + unlink
    // never replaces (link fails on an existing name).
    if (!S_ISDIR(st.st_mode)) {
        if (::link(f.constData(), t.constData()) == 0) {
            ::unlink(f.constData());
            return NoError;
        }
        if (errno == EEXIST)
            return ErrAlreadyExists;
    }
    // Last resort (folders, or no hard links): look, then rename. A target
    // created by another process between the two calls could still be
    // replaced; nothing better is available on such a file system.
    struct stat target;
    if (::lstat(t.constData(), &target) == 0)
        return ErrAlreadyExists;
    if (::rename(f.constData(), t.constData()) != 0)
        return winErrorFromErrno(errno);
    return NoError;
}

int deleteFile(const QString& path) {
    int error = NoError;
    const QString host = toHostPath(path, &error);
    if (host.isEmpty())
        return error;
    const QByteArray h = encoded(host);
    struct stat st;
    if (::lstat(h.constData(), &st) != 0)
        return winErrorFromErrno(errno);
    if (S_ISDIR(st.st_mode))
        return ErrAccessDenied;
    if (!S_ISLNK(st.st_mode) && (attributesFromStat(st) & AttrReadOnly))
        return ErrAccessDenied;
    if (::unlink(h.constData()) != 0)
        return winErrorFromErrno(errno);
    return NoError;
}

// --- File -----------------------------------------------------------------

File::~File() { close(); }

File::File(File&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_hostPath(std::move(other.m_hostPath)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_hostPath = std::move(other.m_hostPath);
    }
    return *this;
}

File File::openRead(const QString& path, int* error) {
    File file;
    *error = NoError;
    const QString host = toHostPath(path, error);
    if (host.isEmpty())
        return file;
    const int fd = ::open(encoded(host).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = winErrorFromErrno(errno);
        return file;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        *error = ErrAccessDenied;
        return file;
    }
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        ::close(fd);
        *error = ErrSharingViolation;
        return file;
    }
    file.m_fd = fd;
    file.m_hostPath = host;
    return file;
}

File File::create(const QString& path, int* error) {
    File file;
    *error = NoError;
    const QString host = toHostPath(path, error);
    if (host.isEmpty())
        return file;
    const std::uint32_t existing = fileAttributes(path);
    if (existing != InvalidAttributes &&
        (existing & (AttrReadOnly | AttrHidden | AttrSystem | AttrDirectory))) {
        *error = ErrAccessDenied;
        return file;
    }
    // Not O_TRUNC: a file open elsewhere must be left as it is, so truncate
    // only once the exclusive lock is ours.
    const int fd = ::open(encoded(host).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        *error = winErrorFromErrno(errno);
        return file;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        *error = ErrSharingViolation;
        return file;
    }
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0) {
        *error = winErrorFromErrno(errno);
        ::close(fd);
        return file;
    }
    file.m_fd = fd;
    file.m_hostPath = host;
    return file;
}

qint64 File::read(char* buffer, qint64 size, int* error) {
    *error = NoError;
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, size_t(size));
        if (n >= 0)
            return n;
        if (errno != EINTR) {
            *error = winErrorFromErrno(errno);
            return -1;
        }
    }
}

qint64 File::write(const char* buffer, qint64 size, int* error) {
    *error = NoError;
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::write(m_fd, buffer + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *error = n < 0 ? winErrorFromErrno(errno) : ErrDiskFull;
            return -1;
        }
        done += n;
    }
    return done;
}

int File::close() {
    if (m_fd < 0)
        return NoError;
    int result = NoError;
    const int flags = ::fcntl(m_fd, F_GETFL);
    if (flags >= 0 && (flags & O_ACCMODE) != O_RDONLY && ::fsync(m_fd) != 0 && errno != EINVAL)
        result = winErrorFromErrno(errno);
    if (::close(m_fd) != 0 && result == NoError)
        result = winErrorFromErrno(errno);
    m_fd = -1;
    return result;
}

bool File::sameFileAs(const File& other) const {
    struct stat a, b;
    return isOpen() && other.isOpen() && ::fstat(m_fd, &a) == 0 && ::fstat(other.m_fd, &b) == 0 &&
           a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace platform
