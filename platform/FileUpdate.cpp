#include "platform/FileUpdate.h"

#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/HostFile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

UpdateFile UpdateFile::open(const QString& path, bool writable, int* error) {
    int spare;
    if (!error)
        error = &spare;
    UpdateFile file;
    *error = NoError;
    const QString host = toHostPath(path, error);
    if (host.isEmpty())
        return file;
    // The read-only attribute is the owner's word, even where root could write.
    const std::uint32_t attributes = writable ? fileAttributes(path) : InvalidAttributes;
    if (attributes != InvalidAttributes && (attributes & AttrReadOnly)) {
        *error = ErrAccessDenied;
        return file;
    }
    file.m_fd = host::openShared(AT_FDCWD, QFile::encodeName(host),
                                 (writable ? O_RDWR : O_RDONLY) | O_NOFOLLOW, true,
                                 writable ? LOCK_EX : LOCK_SH, error);
    return file;
}

qint64 UpdateFile::readAt(qint64 offset, char* buffer, qint64 size, int* error) {
    int spare;
    if (!error)
        error = &spare;
    *error = NoError;
    for (;;) {
        const ssize_t n = ::pread(m_fd.get(), buffer, size_t(size), off_t(offset));
        if (n >= 0)
            return n;
        if (errno != EINTR) {
            *error = winErrorFromErrno(errno);
            return -1;
        }
    }
}

int UpdateFile::writeAt(qint64 offset, const char* buffer, qint64 size) {
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(m_fd.get(), buffer + done, size_t(size - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? winErrorFromErrno(errno) : ErrDiskFull;
        done += n;
    }
    return NoError;
}

int UpdateFile::setModificationTime(const QDateTime& time) {
    const qint64 ms = time.toMSecsSinceEpoch();
    const struct timespec times[2] = {
        {0, UTIME_OMIT},
        {time_t(ms / 1000), long(ms % 1000) * 1000000L},
    };
    return ::futimens(m_fd.get(), times) == 0 ? NoError : winErrorFromErrno(errno);
}

int UpdateFile::flush() {
    return ::fsync(m_fd.get()) == 0 ? NoError : winErrorFromErrno(errno);
}

} // namespace platform
