#include "platform/FileSystem.h"
#include "platform/HostFile.h"

#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/WinPath.h"
#include "platform/WorkingFolder.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr const char* DosAttribName = "user.DOSATTRIB";

qint64 readLimit = 0; // see setReadLimitForTests

qint64 limitedSize(qint64 size) {
    return readLimit > 0 ? std::min(size, readLimit) : size;
}
constexpr std::uint32_t KeptInXattr = AttrHidden | AttrSystem;

QByteArray encoded(const QString& hostPath) {
    return QFile::encodeName(hostPath);
}

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

bool dotName(const QString& name) {
    return name == u"." || name == u"..";
}

// The order NTFS keeps: code units compared once upper-cased. Names equal that
// way (only the host can hold both) keep a fixed order by their code units.
char16_t upperUnit(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80)
        return (u >= u'a' && u <= u'z') ? char16_t(u - 0x20) : u;
    return c.toUpper().unicode();
}

bool ntfsLess(const QString& a, const QString& b) {
    const qsizetype n = std::min(a.size(), b.size());
    const QChar* pa = a.constData();
    const QChar* pb = b.constData();
    for (qsizetype i = 0; i < n; ++i) {
        if (pa[i] == pb[i])
            continue; // names of one folder share long heads
        const char16_t x = upperUnit(pa[i]), y = upperUnit(pb[i]);
        if (x != y)
            return x < y;
    }
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

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

bool matchesWildcard(const QString& name, const QString& pattern) {
    if (pattern == u"*.*" || pattern == u"*")
        return true;
    if (globMatch(name, pattern))
        return true;
    // As on Windows, "name.*" also finds "name" without an extension, and a
    // pattern ending in a dot ("*.") finds names without one.
    if (name.contains(u'.'))
        return false;
    if (pattern.endsWith(u".*"))
        return globMatch(name, QStringView(pattern).chopped(2));
    return pattern.endsWith(u'.') && globMatch(name, QStringView(pattern).chopped(1));
}

namespace {

// Calls take(name, type) for every entry of the folder open for reading as
// fd, from its first entry on (fd's own offset: no second open of the folder).
// Returns 0, or the errno of the failure.
template <typename Take> int readEntries(int fd, Take&& take) {
    if (::lseek(fd, 0, SEEK_SET) < 0)
        return errno;
    alignas(dirent64) char buffer[32 * 1024];
    for (;;) {
        const ssize_t n = ::getdents64(fd, buffer, sizeof buffer);
        if (n == 0)
            return 0;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        for (ssize_t at = 0; at < n;) {
            const auto* d = reinterpret_cast<const dirent64*>(buffer + at);
            take(d->d_name, d->d_type);
            at += d->d_reclen;
        }
    }
}

// A listed name: ASCII, the usual case, needs no decoder.
QString decodedName(const char* raw) {
    size_t n = 0;
    bool ascii = true;
    for (; raw[n]; ++n)
        ascii &= static_cast<unsigned char>(raw[n]) < 0x80;
    return ascii ? QString::fromLatin1(raw, qsizetype(n)) : QFile::decodeName(raw);
}

// The host form of an entry's name; ASCII, the usual case, needs no encoder.
QByteArray encodedName(const QString& name) {
    const QChar* c = name.constData();
    for (qsizetype i = 0, n = name.size(); i < n; ++i)
        if (c[i].unicode() >= 0x80)
            return QFile::encodeName(name);
    return name.toLatin1();
}

bool dotName(const char* name) {
    return name[0] == '.' && (!name[1] || (name[1] == '.' && !name[2]));
}

// The target of a rename exists. When it is the very file being renamed,
// under a second name (a link + unlink rename cut off between its two steps),
// the rename only has its unlink left to do; anything else is another file.
int finishInterruptedLink(int fromDir, const char* f, int toDir, const char* t) {
    struct stat from, to;
    if (::fstatat(fromDir, f, &from, AT_SYMLINK_NOFOLLOW) == 0 &&
        ::fstatat(toDir, t, &to, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(from.st_mode) &&
        from.st_dev == to.st_dev && from.st_ino == to.st_ino && from.st_nlink > 1) {
        return ::unlinkat(fromDir, f, 0) == 0 ? NoError : winErrorFromErrno(errno);
    }
    return ErrAlreadyExists;
}

// Renames f in fromDir to t in toDir, never replacing t.
int renameNoReplace(int fromDir, const char* f, int toDir, const char* t) {
    if (::renameat2(fromDir, f, toDir, t, RENAME_NOREPLACE) == 0)
        return NoError;
    if (errno == EEXIST)
        return finishInterruptedLink(fromDir, f, toDir, t);
    if (errno != EINVAL && errno != ENOSYS)
        return winErrorFromErrno(errno);
    // The file system refuses the no-replace flag. For a file, link + unlink
    // never replaces (link fails on an existing name).
    struct stat st;
    if (::fstatat(fromDir, f, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return winErrorFromErrno(errno);
    if (!S_ISDIR(st.st_mode)) {
        if (::linkat(fromDir, f, toDir, t, 0) == 0) {
            ::unlinkat(fromDir, f, 0);
            return NoError;
        }
        if (errno == EEXIST)
            return finishInterruptedLink(fromDir, f, toDir, t);
    }
    // Last resort (folders, or no hard links): look, then rename. A target
    // created by another process between the two calls could still be
    // replaced; nothing better is available on such a file system.
    struct stat target;
    if (::fstatat(toDir, t, &target, AT_SYMLINK_NOFOLLOW) == 0)
        return ErrAlreadyExists;
    if (::renameat(fromDir, f, toDir, t) != 0)
        return winErrorFromErrno(errno);
    return NoError;
}

// Deletes the file name in dir as DeleteFile does: a link as the link itself;
// a folder, a link to a folder or a read-only file is refused.
int deleteAt(int dir, const char* name) {
    struct stat st;
    if (::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return winErrorFromErrno(errno);
    if (S_ISDIR(st.st_mode))
        return ErrAccessDenied;
    if (S_ISLNK(st.st_mode)) {
        // A link to a folder is a folder to Windows (listings say so too).
        struct stat target;
        if (::fstatat(dir, name, &target, 0) == 0 && S_ISDIR(target.st_mode))
            return ErrAccessDenied;
    } else if (attributesFromStat(st) & AttrReadOnly) {
        return ErrAccessDenied;
    }
    if (::unlinkat(dir, name, 0) != 0)
        return winErrorFromErrno(errno);
    return NoError;
}

// A name of one entry: no separator of either system, not "." or "..".
bool plainName(const QString& name) {
    return !name.isEmpty() && !dotName(name) && !name.contains(u'\\') && !name.contains(u'/');
}

} // namespace

QList<DirEntry> listFolder(const QString& pattern, int* error) {
    const QString full = absolutePath(pattern);
    const QString mask = winpath::fileName(full);
    const Folder folder = Folder::open(winpath::folderPart(full), error);
    return folder.isOpen() ? folder.list(mask, error) : QList<DirEntry>();
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
    if (hostFrom == hostTo) {
        struct stat st;
        return ::lstat(f.constData(), &st) == 0 ? NoError : winErrorFromErrno(errno);
    }
    return renameNoReplace(AT_FDCWD, f.constData(), AT_FDCWD, t.constData());
}

int deleteFile(const QString& path) {
    int error = NoError;
    const QString host = toHostPath(path, &error);
    if (host.isEmpty())
        return error;
    return deleteAt(AT_FDCWD, encoded(host).constData());
}

// --- Folder ---------------------------------------------------------------

Folder::~Folder() {
    if (m_fd >= 0)
        ::close(m_fd);
}

Folder::Folder(Folder&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_hostPath(std::move(other.m_hostPath)),
      m_driveRoot(other.m_driveRoot), m_readable(other.m_readable) {}

Folder& Folder::operator=(Folder&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_hostPath = std::move(other.m_hostPath);
        m_driveRoot = other.m_driveRoot;
        m_readable = other.m_readable;
    }
    return *this;
}

namespace {

// Opens a folder for reading, so that listing it needs no second open; a
// folder that may not be read is opened O_PATH (its entries can still be
// renamed; listing it is what fails then). Sets *readable accordingly.
int openFolder(int at, const char* path, int flags, bool* readable) {
    int fd = ::openat(at, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC | flags);
    *readable = fd >= 0;
    if (fd < 0)
        fd = ::openat(at, path, O_PATH | O_DIRECTORY | O_CLOEXEC | flags);
    return fd;
}

} // namespace

Folder Folder::open(const QString& path, int* error) {
    Folder folder;
    int err = NoError;
    const QString full = winpath::withoutTrailingBackslash(absolutePath(path));
    const QString host = toHostPath(full, &err);
    if (!host.isEmpty()) {
        folder.m_fd = openFolder(AT_FDCWD, encoded(host).constData(), 0, &folder.m_readable);
        if (folder.m_fd < 0)
            err = errno == ENOENT ? ErrPathNotFound : winErrorFromErrno(errno);
    }
    if (folder.m_fd >= 0) {
        folder.m_hostPath = host;
        folder.m_driveRoot = winpath::isDriveRoot(full);
    }
    if (error)
        *error = err;
    return folder;
}

Folder Folder::openSubfolder(const QString& name, int* error) const {
    Folder folder;
    int err = ErrPathNotFound;
    if (isOpen() && plainName(name)) {
        const QByteArray n = QFile::encodeName(name);
        folder.m_fd = openFolder(m_fd, n.constData(), O_NOFOLLOW, &folder.m_readable);
        if (folder.m_fd >= 0) {
            folder.m_hostPath = m_hostPath + u'/' + name;
            err = NoError;
        } else {
            const int failure = errno;
            struct stat st;
            // With O_NOFOLLOW a link is no folder: ENOTDIR. Refused, as a
            // folder that may not be entered.
            const bool link = failure == ENOTDIR &&
                              ::fstatat(m_fd, n.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                              S_ISLNK(st.st_mode);
            err = link                ? ErrAccessDenied
                  : failure == ENOENT ? ErrPathNotFound
                                      : winErrorFromErrno(failure);
        }
    }
    if (error)
        *error = err;
    return folder;
}

QList<DirEntry> Folder::read(const QString& mask, bool kindsOnly, bool foldersOnly,
                             int* error) const {
    QList<DirEntry> entries;
    if (!isOpen()) {
        if (error)
            *error = ErrPathNotFound;
        return entries;
    }
    // Opened O_PATH because reading was refused: ask again, it may be allowed now.
    const int fd = m_readable ? m_fd : ::openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = winErrorFromErrno(errno);
        return entries;
    }
    const QByteArray hostPrefix = encoded(m_hostPath) + '/';
    const int failure = readEntries(fd, [&](const char* raw, unsigned char type) {
        if (dotName(raw))
            return;
        const bool maybeFolder = type == DT_DIR || type == DT_LNK || type == DT_UNKNOWN;
        if (foldersOnly && !maybeFolder)
            return; // a file: not even its name is needed
        QString name = decodedName(raw);
        if (name.contains(u'\\') || !matchesWildcard(name, mask))
            return;
        DirEntry entry{std::move(name), 0};
        struct stat st;
        if (kindsOnly && type != DT_UNKNOWN && type != DT_LNK) {
            // The listing itself tells the kind: no lookup of the entry.
            entry.attributes = type == DT_DIR ? AttrDirectory : AttrArchive;
        } else if (::fstatat(m_fd, raw, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            return; // vanished since it was listed
        } else if (S_ISLNK(st.st_mode)) {
            struct stat target;
            const bool toFolder = ::fstatat(m_fd, raw, &target, 0) == 0 && S_ISDIR(target.st_mode);
            entry.attributes = AttrReparsePoint | (toFolder ? AttrDirectory : AttrArchive);
        } else {
            entry.attributes = attributesFromStat(st);
            if (!kindsOnly)
                entry.attributes |= xattrBits(hostPrefix + raw, false);
        }
        if (foldersOnly && !entry.isFolder())
            return;
        if (raw[0] == '.')
            entry.attributes |= AttrHidden;
        entries.append(std::move(entry));
    });
    if (fd != m_fd)
        ::close(fd);
    if (failure != 0) {
        if (error)
            *error = winErrorFromErrno(failure);
        return {};
    }
    if (error)
        *error = NoError;
    return entries;
}

QList<DirEntry> Folder::list(const QString& mask, int* error, bool kindsOnly) const {
    int err = NoError;
    QList<DirEntry> entries = read(mask, kindsOnly, false, &err);
    if (error)
        *error = err;
    if (err != NoError)
        return entries;
    std::sort(entries.begin(), entries.end(),
              [](const DirEntry& a, const DirEntry& b) { return ntfsLess(a.name, b.name); });
    if (!m_driveRoot) {
        QList<DirEntry> dots;
        for (const QString& dot : {QStringLiteral("."), QStringLiteral("..")})
            if (matchesWildcard(dot, mask))
                dots.append(DirEntry{dot, AttrDirectory});
        entries = dots + entries;
    }
    return entries;
}

QList<DirEntry> Folder::listUnsorted(bool foldersOnly, int* error) const {
    return read(QStringLiteral("*"), true, foldersOnly, error);
}

bool Folder::keepsHiddenSystem() const {
    char text[32];
    // Asked of the folder itself; a folder open O_PATH cannot say (EBADF).
    return !(isOpen() && ::fgetxattr(m_fd, DosAttribName, text, sizeof text - 1) < 0 &&
             (errno == ENOTSUP || errno == EOPNOTSUPP));
}

std::uint32_t Folder::hiddenSystem(const QString& name) const {
    if (!isOpen() || !plainName(name))
        return 0;
    return xattrBits(encoded(m_hostPath + u'/' + name), false);
}

int Folder::moveEntry(const QString& from, const QString& to) {
    if (!isOpen())
        return ErrPathNotFound;
    if (!plainName(from) || !plainName(to))
        return ErrInvalidName;
    const QByteArray f = QFile::encodeName(from), t = QFile::encodeName(to);
    if (f == t) {
        struct stat st;
        return ::fstatat(m_fd, f.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0
                   ? NoError
                   : winErrorFromErrno(errno);
    }
    return renameNoReplace(m_fd, f.constData(), m_fd, t.constData());
}

int Folder::deleteEntry(const QString& name) {
    if (!isOpen())
        return ErrPathNotFound;
    if (!plainName(name))
        return ErrInvalidName;
    return deleteAt(m_fd, encodedName(name).constData());
}

// --- File -----------------------------------------------------------------

File::~File() {
    close();
}

File::File(File&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

namespace host {

int openShared(const QByteArray& host, int flags, bool regularOnly, int lock, int* error) {
    return openSharedAt(AT_FDCWD, host, flags, regularOnly, lock, error);
}

int openSharedAt(int dir, const QByteArray& name, int flags, bool regularOnly, int lock,
                 int* error) {
    const int fd = ::openat(dir, name.constData(), flags | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        *error = winErrorFromErrno(errno);
        return -1;
    }
    struct stat st;
    const bool readable =
        ::fstat(fd, &st) == 0 &&
        (regularOnly ? S_ISREG(st.st_mode)
                     : !S_ISDIR(st.st_mode) && !S_ISFIFO(st.st_mode) && !S_ISSOCK(st.st_mode));
    if (!readable) {
        ::close(fd);
        *error = ErrAccessDenied;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (::flock(fd, lock | LOCK_NB) != 0) {
        ::close(fd);
        *error = ErrSharingViolation;
        return -1;
    }
    return fd;
}

} // namespace host

File File::openRead(const QString& path, int* error) {
    File file;
    *error = NoError;
    const QString host = toHostPath(path, error);
    if (host.isEmpty())
        return file;
    // Plain files and devices are read.
    file.m_fd = host::openShared(encoded(host), O_RDONLY, false, LOCK_SH, error);
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
    return file;
}

qint64 File::read(char* buffer, qint64 size, int* error) {
    *error = NoError;
    size = limitedSize(size);
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

qint64 File::copyTo(File& out, qint64 size, int* error) {
    *error = NoError;
    size = limitedSize(size);
    for (;;) {
        const ssize_t n = ::copy_file_range(m_fd, nullptr, out.m_fd, nullptr, size_t(size), 0);
        if (n >= 0)
            return n;
        switch (errno) {
        case EINTR:
            continue;
        // Other file systems, or kinds of file the system cannot copy itself.
        case EXDEV:
        case EINVAL:
        case ENOSYS:
        case EOPNOTSUPP:
        case EBADF:
        case EPERM:
            *error = ErrNotSupported;
            return -1;
        default:
            *error = winErrorFromErrno(errno);
            return -1;
        }
    }
}

bool File::isRegular() const {
    struct stat st;
    return m_fd >= 0 && ::fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode);
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

} // namespace platform

namespace platform {

void setReadLimitForTests(qint64 limit) {
    readLimit = limit;
}

// --- Replacement ------------------------------------------------------------

QString Folder::entryName(const QString& name) const {
    const QByteArray exact = QFile::encodeName(name);
    struct stat st;
    if (!isOpen() || !plainName(name) ||
        ::fstatat(m_fd, exact.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return name;
    const int listFd = ::openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!dir) {
        if (listFd >= 0)
            ::close(listFd);
        return name;
    }
    auto ascii = [](const char* bytes, size_t size) {
        return std::all_of(bytes, bytes + size, [](char c) { return (c & 0x80) == 0; });
    };
    const bool asciiName = ascii(exact.constData(), size_t(exact.size()));
    QString found;
    while (const dirent* d = ::readdir(dir)) {
        // Two ASCII names are compared as they are, without decoding: a big
        // folder costs one pass over its names.
        const size_t size = std::strlen(d->d_name);
        if (asciiName && ascii(d->d_name, size) &&
            (size != size_t(exact.size()) ||
             !std::equal(d->d_name, d->d_name + size, exact.constData(), [](char a, char b) {
                 return upperUnit(QChar(a)) == upperUnit(QChar(b));
             })))
            continue;
        const QString candidate = QFile::decodeName(d->d_name);
        if (!dotName(candidate) && !candidate.contains(u'\\') &&
            candidate.compare(name, Qt::CaseInsensitive) == 0 &&
            (found.isEmpty() || ntfsLess(candidate, found)))
            found = candidate;
    }
    ::closedir(dir);
    return found.isEmpty() ? name : found;
}

std::uint32_t Folder::entryAttributes(const QString& name) const {
    const QByteArray n = QFile::encodeName(name);
    struct stat st;
    if (!isOpen() || !plainName(name) || ::fstatat(m_fd, n.constData(), &st, 0) != 0)
        return InvalidAttributes;
    std::uint32_t attributes =
        attributesFromStat(st) | xattrBits(encoded(m_hostPath) + '/' + n, true);
    if (name.startsWith(u'.'))
        attributes |= AttrHidden;
    return attributes;
}

Replacement Folder::replace(const QString& name, int* error) const {
    Replacement replacement;
    *error = NoError;
    if (!isOpen() || !plainName(name)) {
        *error = isOpen() ? ErrInvalidName : ErrPathNotFound;
        return replacement;
    }
    const QString held = entryName(name);
    const QByteArray target = QFile::encodeName(held);
    struct stat st;
    if (::fstatat(m_fd, target.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISDIR(st.st_mode)) {
            *error = ErrAccessDenied;
            return replacement;
        }
        // A link is replaced, not followed; yet one that leads to a file in
        // use (the source of a copy, say) is refused as that file would be.
        const bool link = S_ISLNK(st.st_mode);
        struct stat target_st;
        const bool regular = link ? ::fstatat(m_fd, target.constData(), &target_st, 0) == 0 &&
                                        S_ISREG(target_st.st_mode)
                                  : S_ISREG(st.st_mode);
        if (regular) {
            File existing;
            existing.m_fd = ::openat(m_fd, target.constData(),
                                     O_RDONLY | O_NONBLOCK | O_CLOEXEC | (link ? 0 : O_NOFOLLOW));
            if (existing.m_fd >= 0 && ::flock(existing.m_fd, LOCK_EX | LOCK_NB) != 0) {
                *error = ErrSharingViolation;
                return replacement;
            }
            const std::uint32_t attributes = link ? 0 : entryAttributes(held);
            if (attributes != InvalidAttributes &&
                (attributes & (AttrReadOnly | AttrHidden | AttrSystem))) {
                *error = ErrAccessDenied;
                return replacement;
            }
            if (!link)
                replacement.m_replaced = std::move(existing);
        }
    } else if (errno != ENOENT) {
        *error = winErrorFromErrno(errno);
        return replacement;
    }

    replacement.m_dirFd = ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
    if (replacement.m_dirFd < 0) {
        *error = winErrorFromErrno(errno);
        return replacement;
    }
    replacement.m_target = target;
    for (int i = 0; i < 1000; ++i) {
        const QByteArray temporary =
            "~" + QByteArray::number(::getpid()) + "-" + QByteArray::number(i) + ".tmp";
        // O_EXCL: a name already there, even a dangling link, is never used.
        const int fd = ::openat(replacement.m_dirFd, temporary.constData(),
                                O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            replacement.m_file.m_fd = fd;
            replacement.m_temporary = temporary;
            return replacement;
        }
        if (errno != EEXIST) {
            *error = winErrorFromErrno(errno);
            return replacement;
        }
    }
    *error = ErrFileExists;
    return replacement;
}

Replacement::~Replacement() {
    discard();
    if (m_dirFd >= 0)
        ::close(m_dirFd);
}

Replacement::Replacement(Replacement&& other) noexcept
    : m_dirFd(std::exchange(other.m_dirFd, -1)), m_temporary(std::move(other.m_temporary)),
      m_target(std::move(other.m_target)), m_file(std::move(other.m_file)),
      m_replaced(std::move(other.m_replaced)) {
    other.m_temporary.clear();
}

Replacement& Replacement::operator=(Replacement&& other) noexcept {
    if (this != &other) {
        discard();
        if (m_dirFd >= 0)
            ::close(m_dirFd);
        m_dirFd = std::exchange(other.m_dirFd, -1);
        m_temporary = std::exchange(other.m_temporary, QByteArray());
        m_target = std::move(other.m_target);
        m_file = std::move(other.m_file);
        m_replaced = std::move(other.m_replaced);
    }
    return *this;
}

void Replacement::discard() {
    m_file.close();
    if (!m_temporary.isEmpty() && m_dirFd >= 0)
        ::unlinkat(m_dirFd, m_temporary.constData(), 0);
    m_temporary.clear();
    m_replaced.close();
}

int Replacement::commit() {
    if (m_temporary.isEmpty() || !m_file.isOpen())
        return ErrAccessDenied;
    int result = m_file.close();
    if (result == NoError &&
        ::renameat(m_dirFd, m_temporary.constData(), m_dirFd, m_target.constData()) != 0)
        result = winErrorFromErrno(errno);
    if (result != NoError) {
        discard();
        return result;
    }
    m_temporary.clear();
    m_replaced.close();
    // The new name itself must reach the disk too.
    const int dirFd = ::openat(m_dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return NoError;
}

QByteArray Folder::readHead(const QString& name, qint64 size, int* error) const {
    *error = NoError;
    if (m_fd < 0 || name.contains(u'/') || name.contains(u'\\')) {
        *error = ErrInvalidName;
        return {};
    }
    // Non-blocking, so that a pipe without a writer cannot hang a walk.
    const int fd = ::openat(m_fd, QFile::encodeName(name).constData(),
                            O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        *error = winErrorFromErrno(errno);
        return {};
    }
    QByteArray head(size, '\0');
    qint64 have = 0;
    while (have < size) {
        const ssize_t n = ::read(fd, head.data() + have, size_t(size - have));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            *error = winErrorFromErrno(errno);
        if (n <= 0)
            break;
        have += n;
    }
    ::close(fd);
    if (*error != NoError)
        return {};
    head.truncate(have);
    return head;
}

} // namespace platform
