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
    const int fd = ::open(host.constData(), flags | O_CLOEXEC | O_NONBLOCK);
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
    file.m_fd = host::openShared(QFile::encodeName(host), O_RDONLY, false, LOCK_SH, error);
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
    const int fd = ::open(QFile::encodeName(host).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
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
