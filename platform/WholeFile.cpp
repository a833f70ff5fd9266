#include "platform/WholeFile.h"

#include "platform/Errors.h"
#include "platform/HostFile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

QByteArray readRegularFile(const QString& hostPath, qint64 maxSize, int* error) {
    int ignored = NoError;
    int& err = error ? *error : ignored;
    err = NoError;
    const int fd = host::openShared(QFile::encodeName(hostPath), O_RDONLY | O_NOCTTY, true,
                                    LOCK_SH, &err);
    if (fd < 0)
        return {};
    struct stat st {};
    QByteArray bytes;
    if (::fstat(fd, &st) != 0) {
        err = winErrorFromErrno(errno);
    } else if (st.st_size > maxSize) {
        err = ErrFileTooLarge;
    } else {
        // Room for one byte more than the size tells a file that grew since;
        // it is then read on, up to one byte past the cap.
        bytes = QByteArray(qsizetype(st.st_size + 1), Qt::Uninitialized);
        qsizetype total = 0;
        for (;;) {
            if (total == bytes.size()) {
                if (total > maxSize)
                    break;
                bytes.resize(qsizetype(qMin<qint64>(qint64(total) * 2, maxSize + 1)));
            }
            const ssize_t got = ::read(fd, bytes.data() + total, size_t(bytes.size() - total));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                err = winErrorFromErrno(errno);
                break;
            }
            if (got == 0)
                break;
            total += got;
        }
        if (err == NoError && total > maxSize)
            err = ErrFileTooLarge;
        if (err == NoError)
            bytes.truncate(total);
    }
    ::close(fd);
    if (err != NoError)
        return {};
    if (bytes.isNull())
        bytes = QByteArray("");
    return bytes;
}

} // namespace platform
