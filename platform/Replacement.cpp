#include "platform/Replacement.h"

#include "platform/Attributes.h"
#include "platform/Errors.h"
#include "platform/Folder.h"
#include "platform/HostFile.h"
#include "platform/NameRules.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
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
    return host::makeTemporaryName([&](const char* name) {
        return ::linkat(AT_FDCWD, self.constData(), dirFd, name, AT_SYMLINK_FOLLOW) == 0;
    });
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
        if (owner <= 0 || ::fstatat(m_fd.get(), name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode) || st.st_uid != ::getuid() || owner == ::getpid() ||
            ::kill(owner, 0) == 0 || errno != ESRCH)
            return;
        if (::unlinkat(m_fd.get(), name, 0) == 0)
            ++removed;
    });
    return removed;
}

Replacement Folder::replace(const QString& name, int* error) const {
    int spare;
    if (!error)
        error = &spare;
    Replacement replacement;
    *error = NoError;
    if (!isOpen() || !plainName(name)) {
        *error = isOpen() ? ErrInvalidName : ErrPathNotFound;
        return replacement;
    }
    const QString held = entryName(name);
    const QByteArray target = QFile::encodeName(held);
    struct stat st;
    if (::fstatat(m_fd.get(), target.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISDIR(st.st_mode)) {
            *error = ErrAccessDenied;
            return replacement;
        }
        // A link is replaced, not followed; yet one that leads to a file in
        // use (the source of a copy, say) is refused as that file would be.
        const bool link = S_ISLNK(st.st_mode);
        struct stat target_st;
        const bool regular = link ? ::fstatat(m_fd.get(), target.constData(), &target_st, 0) == 0 &&
                                        S_ISREG(target_st.st_mode)
                                  : S_ISREG(st.st_mode);
        if (regular && !link)
            replacement.m_mode = int(st.st_mode & 07777);
        if (regular) {
            File existing;
            int opening = NoError;
            existing.m_fd = host::openShared(m_fd.get(), target, O_RDONLY | (link ? 0 : O_NOFOLLOW),
                                             true, LOCK_EX, &opening);
            if (opening == ErrSharingViolation) {
                *error = opening;
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

    replacement.m_dirFd.reset(::fcntl(m_fd.get(), F_DUPFD_CLOEXEC, 0));
    if (!replacement.m_dirFd.isOpen()) {
        *error = winErrorFromErrno(errno);
        return replacement;
    }
    replacement.m_target = target;
    // Without a name, nothing can be left behind in the folder whatever
    // becomes of this process; not every file system writes so.
    UniqueFd unnamed(
        ::openat(replacement.m_dirFd.get(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666));
    if (unnamed.isOpen()) {
        replacement.m_file.m_fd = std::move(unnamed);
        if (!replacement.keepMode(error))
            replacement = Replacement();
        return replacement;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        *error = winErrorFromErrno(errno);
        return replacement;
    }
    replacement.m_file.m_fd =
        host::createTemporary(replacement.m_dirFd.get(), &replacement.m_temporary, error);
    if (!replacement.isOpen() || !replacement.keepMode(error))
        replacement = Replacement();
    return replacement;
}

bool Replacement::keepMode(int* error) {
    if (m_mode < 0 || ::fchmod(m_file.m_fd.get(), mode_t(m_mode)) == 0)
        return true;
    if (error)
        *error = winErrorFromErrno(errno);
    return false;
}

Replacement::~Replacement() {
    discard();
}

Replacement::Replacement(Replacement&& other) noexcept
    : m_dirFd(std::move(other.m_dirFd)), m_temporary(std::exchange(other.m_temporary, {})),
      m_target(std::move(other.m_target)), m_mode(other.m_mode), m_file(std::move(other.m_file)),
      m_replaced(std::move(other.m_replaced)) {}

Replacement& Replacement::operator=(Replacement&& other) noexcept {
    if (this != &other) {
        discard();
        m_dirFd = std::move(other.m_dirFd);
        m_temporary = std::exchange(other.m_temporary, {});
        m_target = std::move(other.m_target);
        m_mode = other.m_mode;
        m_file = std::move(other.m_file);
        m_replaced = std::move(other.m_replaced);
    }
    return *this;
}

void Replacement::discard() {
    m_file.close();
    if (!m_temporary.isEmpty() && m_dirFd.isOpen())
        ::unlinkat(m_dirFd.get(), m_temporary.constData(), 0);
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
        if (::fsync(m_file.m_fd.get()) != 0)
            result = winErrorFromErrno(errno);
        if (result == NoError) {
            tell(ReplacementStep::Flushed);
            m_temporary = nameUnnamed(m_file.m_fd.get(), m_dirFd.get());
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
        ::renameat(m_dirFd.get(), m_temporary.constData(), m_dirFd.get(), m_target.constData()) != 0)
        result = winErrorFromErrno(errno);
    if (result != NoError) {
        discard();
        return result;
    }
    tell(ReplacementStep::Renamed);
    m_temporary.clear();
    m_replaced.close();
    // The new name itself must reach the disk too.
    const UniqueFd dirFd(::openat(m_dirFd.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirFd.isOpen())
        ::fsync(dirFd.get());
    return NoError;
}

} // namespace platform
