#include "platform/Replacement.h"

#include "platform/Attributes.h"
#include "platform/Errors.h"
#include "platform/Folder.h"
#include "platform/NameRules.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

using host::plainName;

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

} // namespace platform
