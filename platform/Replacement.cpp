#include "platform/Replacement.h"

#include "platform/Attributes.h"
#include "platform/Errors.h"
#include "platform/Folder.h"
#include "platform/NameRules.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

using host::plainName;

namespace {

std::function<void(ReplacementStep)>& replacementHook() {
    static std::function<void(ReplacementStep)> hook;
    return hook;
}

void tell(ReplacementStep step) {
    if (replacementHook())
        replacementHook()(step);
}

// "~<pid>-<n>.tmp": the temporary names replacements use; the pid, or 0.
pid_t temporaryNameOwner(const char* name) {
    unsigned long pid = 0, n = 0;
    int end = 0;
    if (std::sscanf(name, "~%lu-%lu.tmp%n", &pid, &n, &end) != 2 || name[end] != '\0' ||
        name[1] < '0' || name[1] > '9')
        return 0;
    return pid_t(pid);
}

// Names the new file (written without one) under an unused temporary name.
QByteArray nameUnnamed(int fd, int dirFd) {
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    for (int i = 0; i < 1000; ++i) {
        const QByteArray temporary =
            "~" + QByteArray::number(::getpid()) + "-" + QByteArray::number(i) + ".tmp";
        if (::linkat(AT_FDCWD, self.constData(), dirFd, temporary.constData(), AT_SYMLINK_FOLLOW) ==
            0)
            return temporary;
        if (errno != EEXIST)
            return {};
    }
    errno = EEXIST;
    return {};
}

} // namespace

void setReplacementHookForTests(std::function<void(ReplacementStep)> hook) {
    replacementHook() = std::move(hook);
}

int Folder::removeStaleReplacements() const {
    if (!isOpen() || !m_readable)
        return 0;
    int removed = 0;
    forEachName([&](const char* name) {
        const pid_t owner = temporaryNameOwner(name);
        struct stat st;
        // Only this user's plain files, and only when their process is gone:
        // a replacement still being written elsewhere keeps its file.
        if (owner <= 0 || ::fstatat(m_fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode) || st.st_uid != ::getuid() || owner == ::getpid() ||
            ::kill(owner, 0) == 0 || errno != ESRCH)
            return;
        if (::unlinkat(m_fd, name, 0) == 0)
            ++removed;
    });
    return removed;
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
        if (regular && !link)
            replacement.m_mode = int(st.st_mode & 07777);
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
    // Without a name, nothing can be left behind in the folder whatever
    // becomes of this process; not every file system writes so.
    const int unnamed = ::openat(replacement.m_dirFd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (unnamed >= 0) {
        replacement.m_file.m_fd = unnamed;
        if (!replacement.keepMode(error))
            replacement = Replacement();
        return replacement;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        *error = winErrorFromErrno(errno);
        return replacement;
    }
    for (int i = 0; i < 1000; ++i) {
        const QByteArray temporary =
            "~" + QByteArray::number(::getpid()) + "-" + QByteArray::number(i) + ".tmp";
        // O_EXCL: a name already there, even a dangling link, is never used.
        const int fd = ::openat(replacement.m_dirFd, temporary.constData(),
                                O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            replacement.m_file.m_fd = fd;
            replacement.m_temporary = temporary;
            if (!replacement.keepMode(error))
                replacement = Replacement();
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

bool Replacement::keepMode(int* error) {
    if (m_mode < 0 || ::fchmod(m_file.m_fd, mode_t(m_mode)) == 0)
        return true;
    *error = winErrorFromErrno(errno);
    return false;
}

Replacement::~Replacement() {
    discard();
    if (m_dirFd >= 0)
        ::close(m_dirFd);
}

Replacement::Replacement(Replacement&& other) noexcept
    : m_dirFd(std::exchange(other.m_dirFd, -1)), m_temporary(std::move(other.m_temporary)),
      m_target(std::move(other.m_target)), m_mode(other.m_mode), m_file(std::move(other.m_file)),
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
        m_mode = other.m_mode;
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
    if (!m_file.isOpen())
        return ErrAccessDenied;
    // The bytes reach the disk before any name does, so that a crash leaves
    // the old file or the whole new one, never a part of it.
    int result = NoError;
    if (m_temporary.isEmpty()) {
        if (::fsync(m_file.m_fd) != 0)
            result = winErrorFromErrno(errno);
        if (result == NoError) {
            tell(ReplacementStep::Flushed);
            m_temporary = nameUnnamed(m_file.m_fd, m_dirFd);
            if (m_temporary.isEmpty())
                result = winErrorFromErrno(errno);
        }
        const int closed = m_file.close();
        if (result == NoError)
            result = closed;
    } else {
        result = m_file.close();
        if (result == NoError)
            tell(ReplacementStep::Flushed);
    }
    if (result == NoError &&
        ::renameat(m_dirFd, m_temporary.constData(), m_dirFd, m_target.constData()) != 0)
        result = winErrorFromErrno(errno);
    if (result != NoError) {
        discard();
        return result;
    }
    tell(ReplacementStep::Renamed);
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

} // namespace platform
