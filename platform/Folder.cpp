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
#include <string>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace platform {

using host::attributesFromStat;
using host::deleteAt;
using host::dotName;
using host::plainName;
using host::renameNoReplace;
using host::upperUnit;

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
      m_driveRoot(other.m_driveRoot), m_readable(other.m_readable),
      m_hiddenSystem(other.m_hiddenSystem), m_names(std::move(other.m_names)) {}

Folder& Folder::operator=(Folder&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_hostPath = std::move(other.m_hostPath);
        m_hiddenSystem = other.m_hiddenSystem;
        m_names = std::move(other.m_names);
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
        folder.m_fd =
            openFolder(AT_FDCWD, QFile::encodeName(host).constData(), 0, &folder.m_readable);
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
                entry.attributes |= m_hiddenSystem.read(m_fd, raw, false);
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
    sortOnKeys(
        entries, [](const DirEntry& e) -> const QString& { return e.name; }, ntfsKey);
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
    return !isOpen() || m_hiddenSystem.keeps(m_fd);
}

std::uint32_t Folder::hiddenSystem(const QString& name) const {
    if (!isOpen() || !plainName(name))
        return 0;
    return m_hiddenSystem.read(m_fd, encodedName(name).constData(), false);
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

// One reading of a folder's names, kept current by inotify: names added
// since are in added, names removed since in removed (a name both listed and
// added again is in both lists; the listing's copy is then passed over).
struct Folder::NameWatch {
    int notices = -1;
    bool listed = false;
    std::string listing; // the names, each ending in a NUL
    std::unordered_set<std::string> added, removed;

    ~NameWatch() {
        if (notices >= 0)
            ::close(notices);
    }

    void relist(int folderFd) {
        drain(); // what came before is in the new reading
        listing.clear();
        added.clear();
        removed.clear();
        const int fd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        listed = fd >= 0 && readEntries(fd, [&](const char* raw, unsigned char) {
                                if (!dotName(raw))
                                    listing.append(raw, std::strlen(raw) + 1);
                            }) == 0;
        if (fd >= 0)
            ::close(fd);
    }

    // Applies the notices that came since; false when some were lost (the
    // queue overflowed) or the folder itself is gone, so that only a new
    // reading is right.
    bool drain() {
        alignas(inotify_event) char buffer[16 * 1024];
        bool whole = true;
        for (;;) {
            const ssize_t n = ::read(notices, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return whole && !(n < 0 && errno != EAGAIN);
            for (ssize_t at = 0; at < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
                at += ssize_t(sizeof(inotify_event) + e->len);
                if (e->mask & (IN_Q_OVERFLOW | IN_IGNORED | IN_DELETE_SELF))
                    whole = false;
                if (!e->len)
                    continue;
                std::string entry(e->name);
                if (e->mask & (IN_CREATE | IN_MOVED_TO)) {
                    removed.erase(entry);
                    added.insert(std::move(entry));
                } else if (e->mask & (IN_DELETE | IN_MOVED_FROM)) {
                    added.erase(entry);
                    removed.insert(std::move(entry));
                }
            }
        }
    }

    // Calls take(raw) for every name the folder holds now.
    template <typename Take> bool forEach(int folderFd, Take&& take) {
        if (!listed || !drain())
            relist(folderFd);
        if (!listed)
            return false;
        for (const char* raw = listing.data(); raw < listing.data() + listing.size();
             raw += std::strlen(raw) + 1)
            if (removed.empty() || !removed.count(raw))
                take(raw);
        for (const std::string& raw : added)
            take(raw.c_str());
        return true;
    }
};

void Folder::NameWatchEnd::operator()(NameWatch* watch) const {
    delete watch;
}

void Folder::watchNames() {
    if (!isOpen() || m_names)
        return;
    std::unique_ptr<NameWatch, NameWatchEnd> watch(new NameWatch);
    watch->notices = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch->notices < 0)
        return;
    // The folder as this handle holds it, wherever its path leads now.
    const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
    if (::inotify_add_watch(watch->notices, self.c_str(),
                            IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                                IN_ONLYDIR) < 0)
        return;
    m_names = std::move(watch);
}

QString Folder::entryName(const QString& name) const {
    const QByteArray exact = QFile::encodeName(name);
    struct stat st;
    if (!isOpen() || !plainName(name) ||
        ::fstatat(m_fd, exact.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return name;
    auto ascii = [](const char* bytes, size_t size) {
        return std::all_of(bytes, bytes + size, [](char c) { return (c & 0x80) == 0; });
    };
    const bool asciiName = ascii(exact.constData(), size_t(exact.size()));
    QString found;
    auto consider = [&](const char* raw) {
        // Two ASCII names are compared as they are, without decoding: a big
        // folder costs one pass over its names.
        const size_t size = std::strlen(raw);
        if (asciiName && ascii(raw, size) &&
            (size != size_t(exact.size()) ||
             !std::equal(raw, raw + size, exact.constData(), [](char a, char b) {
                 return upperUnit(QChar(a)) == upperUnit(QChar(b));
             })))
            return;
        const QString candidate = QFile::decodeName(raw);
        if (!dotName(candidate) && !candidate.contains(u'\\') &&
            candidate.compare(name, Qt::CaseInsensitive) == 0 &&
            (found.isEmpty() || ntfsLess(candidate, found)))
            found = candidate;
    };
    forEachName(consider);
    return found.isEmpty() ? name : found;
}

bool Folder::forEachName(const std::function<void(const char*)>& take) const {
    if (!isOpen())
        return false;
    if (m_names && m_names->forEach(m_fd, take))
        return true;
    const int listFd = ::openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0)
        return false;
    const int failure = readEntries(listFd, [&](const char* raw, unsigned char) {
        if (!dotName(raw))
            take(raw);
    });
    ::close(listFd);
    return failure == 0;
}

std::uint32_t Folder::entryAttributes(const QString& name) const {
    const QByteArray n = QFile::encodeName(name);
    struct stat st;
    if (!isOpen() || !plainName(name) || ::fstatat(m_fd, n.constData(), &st, 0) != 0)
        return InvalidAttributes;
    std::uint32_t attributes =
        attributesFromStat(st) | m_hiddenSystem.read(m_fd, n.constData(), true);
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
