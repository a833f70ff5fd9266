#include "platform/FileUpdate.h"

#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/HostFile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::mutex faultsMutex;
CardFaults faults; // see setCardFaultsForTests

bool writableMode(mode_t mode) {
    return mode & (S_IWUSR | S_IWGRP | S_IWOTH);
}

} // namespace

UpdateFile UpdateFile::openAt(int dir, const QByteArray& name, bool writable, int* error) {
    int spare;
    if (!error)
        error = &spare;
    UpdateFile file;
    file.m_fd = host::openShared(dir, name, (writable ? O_RDWR : O_RDONLY) | O_NOFOLLOW, true,
                                 writable ? LOCK_EX : LOCK_SH, error);
    if (!file.isOpen()) {
        // O_NOFOLLOW refuses a link with ELOOP: a link is not ours to change.
        if (errno == ELOOP)
            *error = ErrAccessDenied;
        return file;
    }
    // The read-only attribute is the owner's word, even where root could write.
    struct stat st;
    if (writable && (::fstat(file.m_fd.get(), &st) != 0 || !writableMode(st.st_mode))) {
        *error = ErrAccessDenied;
        return UpdateFile();
    }
    return file;
}

UpdateFile UpdateFile::open(const QString& path, bool writable, int* error) {
    int spare;
    if (!error)
        error = &spare;
    *error = NoError;
    const QString host = toHostPath(path, error);
    if (host.isEmpty())
        return UpdateFile();
    return openAt(AT_FDCWD, QFile::encodeName(host), writable, error);
}

UpdateFile UpdateFile::openIn(const Folder& folder, const QString& name, bool writable,
                              int* error) {
    int spare;
    if (!error)
        error = &spare;
    *error = NoError;
    if (!folder.isOpen() || name.isEmpty() || name.contains(u'/') || name.contains(u'\\')) {
        *error = folder.isOpen() ? ErrInvalidName : ErrPathNotFound;
        return UpdateFile();
    }
    UpdateFile file = openAt(folder.m_fd.get(), QFile::encodeName(name), writable, error);
    if (file.isOpen()) {
        const std::lock_guard lock(faultsMutex);
        file.m_readFault = name == faults.readName ? faults.readError : NoError;
        file.m_flushFault = name == faults.flushName ? faults.flushError : NoError;
    }
    return file;
}

qint64 UpdateFile::readAt(qint64 offset, char* buffer, qint64 size, int* error) {
    int spare;
    if (!error)
        error = &spare;
    *error = m_readFault;
    if (m_readFault != NoError)
        return -1;
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
    if (m_flushFault != NoError)
        return m_flushFault;
    return ::fsync(m_fd.get()) == 0 ? NoError : winErrorFromErrno(errno);
}

bool readOnlyEntry(const Folder& folder, const QString& name) {
    struct stat st;
    return folder.isOpen() && !name.contains(u'/') &&
           ::fstatat(folder.m_fd.get(), QFile::encodeName(name).constData(), &st,
                     AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(st.st_mode) && !writableMode(st.st_mode);
}

void setCardFaultsForTests(const CardFaults& newFaults) {
    const std::lock_guard lock(faultsMutex);
    faults = newFaults;
}

} // namespace platform
