#include "platform/HostFile.h"

#include "platform/Attributes.h"
#include "platform/Drives.h"
#include "platform/Errors.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

qint64 readLimit = 0; // see setReadLimitForTests

qint64 limitedSize(qint64 size) {
    return readLimit > 0 ? std::min(size, readLimit) : size;
}

} // namespace

void setReadLimitForTests(qint64 limit) {
    readLimit = limit;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::move(other.m_fd);
    }
    return *this;
}

namespace host {

namespace {

// openat; O_NOATIME, which only the file's owner (or one who may act as the
// owner) may ask for, is dropped where it is refused.
int openAt(int dir, const char* name, int flags, mode_t mode = 0) {
    const int fd = ::openat(dir, name, flags, mode);
    if (fd >= 0 || errno != EPERM || !(flags & O_NOATIME))
        return fd;
    return ::openat(dir, name, flags & ~O_NOATIME, mode);
}

} // namespace

UniqueFd openFolderAt(int at, const char* path, int flags, bool* readable) {
    UniqueFd fd(openAt(at, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC | flags));
    *readable = fd.isOpen();
    if (!fd.isOpen())
        fd.reset(::openat(at, path, O_PATH | O_DIRECTORY | O_CLOEXEC | (flags & ~O_NOATIME)));
    return fd;
}

UniqueFd openShared(int dir, const QByteArray& name, int flags, bool regularOnly, int lock,
                    int* error) {
    int spare;
    if (!error)
        error = &spare;
    UniqueFd fd(openAt(dir, name.constData(), flags | O_CLOEXEC | O_NONBLOCK, 0666));
    if (!fd.isOpen()) {
        *error = winErrorFromErrno(errno);
        return fd;
    }
    struct stat st;
    const bool readable =
        ::fstat(fd.get(), &st) == 0 &&
        (regularOnly ? S_ISREG(st.st_mode)
                     : !S_ISDIR(st.st_mode) && !S_ISFIFO(st.st_mode) && !S_ISSOCK(st.st_mode));
    if (!readable) {
        *error = ErrAccessDenied;
        return {};
    }
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    if (lock != 0 && ::flock(fd.get(), lock | LOCK_NB) != 0) {
        *error = ErrSharingViolation;
        return {};
    }
    return fd;
}

QByteArray makeTemporaryName(const std::function<bool(const char* name)>& make) {
    for (int i = 0; i < 1000; ++i) {
        const QByteArray name =
            "~" + QByteArray::number(::getpid()) + "-" + QByteArray::number(i) + ".tmp";
        if (make(name.constData()))
            return name;
        if (errno != EEXIST)
            return {};
    }
    errno = EEXIST;
    return {};
}

UniqueFd createTemporary(int dir, QByteArray* name, int* error) {
    int spare;
    if (!error)
        error = &spare;
    UniqueFd fd;
    *name = makeTemporaryName([&](const char* candidate) {
        fd.reset(::openat(dir, candidate, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        return fd.isOpen();
    });
    *error = fd.isOpen() ? NoError : errno == EEXIST ? ErrFileExists : winErrorFromErrno(errno);
    return fd;
}

QByteArray readUpTo(int fd, qint64 size, int* error) {
    int spare;
    if (!error)
        error = &spare;
    QByteArray bytes(size, Qt::Uninitialized);
    qint64 have = 0;
    while (have < size) {
        const ssize_t n = ::read(fd, bytes.data() + have, size_t(size - have));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *error = winErrorFromErrno(errno);
            return {};
        }
        if (n == 0)
            break;
        have += n;
    }
    bytes.truncate(have);
    return bytes;
}

} // namespace host

File File::openRead(const QString& path, int* error) {
    int spare;
    if (!error)
        error = &spare;
    File file;
    *error = NoError;
    const QString host = toHostPath(path, error);
    if (host.isEmpty())
        return file;
    // Plain files and devices are read.
    file.m_fd = host::openShared(AT_FDCWD, QFile::encodeName(host), O_RDONLY, false, LOCK_SH, error);
    return file;
}

File File::create(const QString& path, int* error) {
    int spare;
    if (!error)
        error = &spare;
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
    file.m_fd =
        host::openShared(AT_FDCWD, QFile::encodeName(host), O_RDWR | O_CREAT, false, LOCK_EX, error);
    if (file.isRegular() && ::ftruncate(file.m_fd.get(), 0) != 0) {
        *error = winErrorFromErrno(errno);
        file.m_fd.reset();
    }
    return file;
}

qint64 File::read(char* buffer, qint64 size, int* error) {
    int spare;
    if (!error)
        error = &spare;
    *error = NoError;
    size = limitedSize(size);
    for (;;) {
        const ssize_t n = ::read(m_fd.get(), buffer, size_t(size));
        if (n >= 0)
            return n;
        if (errno != EINTR) {
            *error = winErrorFromErrno(errno);
            return -1;
        }
    }
}

qint64 File::write(const char* buffer, qint64 size, int* error) {
    int spare;
    if (!error)
        error = &spare;
    *error = NoError;
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::write(m_fd.get(), buffer + done, size_t(size - done));
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
    int spare;
    if (!error)
        error = &spare;
    *error = NoError;
    size = limitedSize(size);
    for (;;) {
        const ssize_t n = ::copy_file_range(m_fd.get(), nullptr, out.m_fd.get(), nullptr, size_t(size), 0);
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
    return m_fd.isOpen() && ::fstat(m_fd.get(), &st) == 0 && S_ISREG(st.st_mode);
}

int File::close() {
    if (!m_fd.isOpen())
        return NoError;
    int result = NoError;
    const int flags = ::fcntl(m_fd.get(), F_GETFL);
    if (flags >= 0 && (flags & O_ACCMODE) != O_RDONLY && ::fsync(m_fd.get()) != 0 &&
        errno != EINVAL)
        result = winErrorFromErrno(errno);
    if (!m_fd.close() && result == NoError)
        result = winErrorFromErrno(errno);
    return result;
}

} // namespace platform
