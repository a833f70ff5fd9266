#include "platform/Folder.h"

#include "platform/Drives.h"
#include "platform/EntryOps.h"
#include "platform/Errors.h"
#include "platform/NameRules.h"
#include "platform/WinPath.h"
#include "platform/WorkingFolder.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace platform {

using host::attributesFromStat;
using host::deleteAt;
using host::dotName;
using host::DosAttribName;
using host::plainName;
using host::renameNoReplace;
using host::upperUnit;
using host::xattrBits;

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

QList<DirEntry> listFolder(const QString& pattern, int* error) {
    const QString full = absolutePath(pattern);
    const QString mask = winpath::fileName(full);
    const Folder folder = Folder::open(winpath::folderPart(full), error);
    return folder.isOpen() ? folder.list(mask, error) : QList<DirEntry>();
}

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

Folder Folder::open(const QString& path, int* error) {
    Folder folder;
    int err = NoError;
    const QString full = winpath::withoutTrailingBackslash(absolutePath(path));
    const QString host = toHostPath(full, &err);
    if (!host.isEmpty()) {
        folder.m_fd = openFolder(AT_FDCWD, QFile::encodeName(host).constData(), 0, &folder.m_readable);
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
    const QByteArray hostPrefix = QFile::encodeName(m_hostPath) + '/';
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
    return xattrBits(QFile::encodeName(m_hostPath + u'/' + name), false);
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
        attributesFromStat(st) | xattrBits(QFile::encodeName(m_hostPath) + '/' + n, true);
    if (name.startsWith(u'.'))
        attributes |= AttrHidden;
    return attributes;
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
