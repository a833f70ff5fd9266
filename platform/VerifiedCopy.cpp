#include "platform/VerifiedCopy.h"

#include "platform/Drives.h"
#include "platform/Errors.h"
#include "platform/EntryOps.h"
#include "platform/FileSystem.h"
#include "platform/HostFile.h"
#include "platform/UniqueFd.h"
#include "platform/WinPath.h"
#include "platform/WorkingFolder.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utility>

namespace platform {

// What Folder keeps to itself, for the untouched openings below.
struct FolderAccess {
    static int fd(const Folder& folder) { return folder.m_fd.get(); }
    static const QString& hostPath(const Folder& folder) { return folder.m_hostPath; }
    static Folder adopt(UniqueFd fd, const QString& hostPath, bool driveRoot, bool readable) {
        Folder folder;
        folder.m_fd = std::move(fd);
        folder.m_hostPath = hostPath;
        folder.m_driveRoot = driveRoot;
        folder.m_readable = readable;
        return folder;
    }
};

namespace {

struct FaultSlot {
    std::mutex mutex;
    ReadFault fault;
};

FaultSlot& faultSlot() {
    static FaultSlot slot;
    return slot;
}

ReadFault currentFault() {
    const std::lock_guard lock(faultSlot().mutex);
    return faultSlot().fault;
}

bool plainName(const QString& name) {
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') &&
           !name.contains(u'\\');
}

// The largest step of one copy or comparison: a stop waits at most this long.
constexpr qint64 CopyStep = 16 * 1024 * 1024;
constexpr qint64 CompareStep = 1024 * 1024;

// Reads up to size bytes at offset, whatever the system hands back at once;
// fewer only at the end of the file. -1 with *error set.
qint64 readFully(int fd, char* buffer, qint64 size, qint64 offset, int* error) {
    qint64 have = 0;
    while (have < size) {
        const ssize_t n = ::pread(fd, buffer + have, size_t(size - have), offset + have);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            if (error)
                *error = winErrorFromErrno(errno);
            return -1;
        }
        if (n == 0)
            break;
        have += n;
    }
    return have;
}

int writeFully(int fd, const char* buffer, qint64 size, qint64 offset) {
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, buffer + done, size_t(size - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? winErrorFromErrno(errno) : int(ErrDiskFull);
        done += n;
    }
    return NoError;
}

// One copy, from its open source to its temporary file.
class Copier {
public:
    Copier(int source, int target, qint64 size, const QString& name, const CopyHooks& hooks)
        : m_source(source), m_target(target), m_size(size), m_name(name), m_hooks(hooks),
          m_fault(currentFault()) {}

    CopyResult copy() {
        CopyResult result;
        qint64 done = 0;
        qint64 asked = -1; // the offset the fault hook was last asked about
        bool inKernel = true;
        std::unique_ptr<char[]> buffer;
        while (done < m_size) {
            if (stopped(result))
                return result;
            const qint64 step = std::min(CopyStep, m_size - done);
            if (asked != done) {
                asked = done; // once per read, whichever way the read then goes
                if (int error = fault(done)) {
                    result.error = error;
                    result.sourceFailed = true;
                    return result;
                }
            }
            qint64 n = -1;
            if (inKernel) {
                loff_t in = done, out = done;
                n = ::copy_file_range(m_source, &in, m_target, &out, size_t(step), 0);
                if (n < 0 && errno == EINTR)
                    continue;
                // Another file system, or a source the system cannot copy
                // itself (0 may also mean it cannot tell the end so): through
                // the program from here on, which also tells which side failed.
                if (n <= 0) {
                    inKernel = false;
                    continue;
                }
            } else {
                if (!buffer)
                    buffer.reset(new char[CompareStep]);
                const qint64 want = std::min(step, CompareStep);
                int error = NoError;
                n = readFully(m_source, buffer.get(), want, done, &error);
                if (n < 0) {
                    result.error = error;
                    result.sourceFailed = true;
                    return result;
                }
                if (n == 0)
                    break; // the source is shorter than it was: the comparison says so
                if ((error = writeFully(m_target, buffer.get(), n, done)) != NoError) {
                    result.error = error;
                    return result;
                }
            }
            done += n;
            if (m_hooks.progress)
                m_hooks.progress(done);
        }
        result.bytes = done;
        return result;
    }

    // Compares the copy with its source, byte for byte, to the end of both.
    CopyResult compare(qint64 copied) {
        CopyResult result;
        result.bytes = copied;
        std::unique_ptr<char[]> a(new char[CompareStep]), b(new char[CompareStep]);
        for (qint64 at = 0;; at += CompareStep) {
            if (stopped(result))
                return result;
            if (int error = fault(at)) {
                result.error = error;
                result.sourceFailed = true;
                return result;
            }
            int error = NoError;
            const qint64 n = readFully(m_source, a.get(), CompareStep, at, &error);
            if (n < 0) {
                result.error = error;
                result.sourceFailed = true;
                return result;
            }
            const qint64 m = readFully(m_target, b.get(), CompareStep, at, &error);
            if (m < 0) {
                result.error = error;
                return result;
            }
            if (n != m || std::memcmp(a.get(), b.get(), size_t(n)) != 0) {
                result.differs = true;
                result.error = ErrCrc;
                return result;
            }
            if (n < CompareStep)
                return result;
        }
    }

private:
    bool stopped(CopyResult& result) const {
        if (m_hooks.stop && m_hooks.stop())
            result.stopped = true;
        return result.stopped;
    }
    int fault(qint64 offset) const { return m_fault ? m_fault(m_name, offset) : NoError; }

    int m_source;
    int m_target;
    qint64 m_size;
    const QString& m_name;
    const CopyHooks& m_hooks;
    ReadFault m_fault;
};

// The temporary file beside the copy's final name, removed unless kept.
class Temporary {
public:
    explicit Temporary(int dir) : m_dir(dir) {}
    ~Temporary() {
        m_fd.reset();
        if (!m_name.isEmpty())
            ::unlinkat(m_dir, m_name.constData(), 0);
    }
    int create() {
        int error = NoError;
        m_fd = host::createTemporary(m_dir, &m_name, &error);
        return error;
    }
    int fd() const { return m_fd.get(); }
    // Gives the copy its name; from then on it is no longer temporary.
    int rename(const QByteArray& to) {
        const int error = host::renameNoReplace(m_dir, m_name.constData(), m_dir, to.constData());
        if (error == NoError)
            m_name.clear();
        return error;
    }

private:
    int m_dir;
    UniqueFd m_fd;
    QByteArray m_name;
};

} // namespace

Folder openUntouched(const QString& path, int* error) {
    int err = NoError;
    const QString full = winpath::withoutTrailingBackslash(absolutePath(path));
    const QString host = toHostPath(full, &err);
    UniqueFd fd;
    bool readable = false;
    if (!host.isEmpty()) {
        fd = host::openFolderAt(AT_FDCWD, QFile::encodeName(host).constData(), O_NOATIME,
                                &readable);
        if (!fd.isOpen())
            err = errno == ENOENT ? ErrPathNotFound : winErrorFromErrno(errno);
    }
    if (error)
        *error = err;
    if (!fd.isOpen())
        return Folder();
    return FolderAccess::adopt(std::move(fd), host, winpath::isDriveRoot(full), readable);
}

Folder openSubfolderUntouched(const Folder& folder, const QString& name, int* error) {
    int err = ErrPathNotFound;
    UniqueFd fd;
    bool readable = false;
    if (folder.isOpen() && plainName(name)) {
        fd = host::openFolderAt(FolderAccess::fd(folder), QFile::encodeName(name).constData(),
                                O_NOFOLLOW | O_NOATIME, &readable);
        // A link is never followed: refused as a folder that may not be entered.
        err = fd.isOpen()        ? NoError
              : errno == ENOTDIR ? ErrAccessDenied
              : errno == ENOENT  ? ErrPathNotFound
                                 : winErrorFromErrno(errno);
    }
    if (error)
        *error = err;
    if (!fd.isOpen())
        return Folder();
    return FolderAccess::adopt(std::move(fd), FolderAccess::hostPath(folder) + u'/' + name, false,
                               readable);
}

QByteArray readHeadUntouched(const Folder& folder, const QString& name, qint64 size, int* error) {
    int spare;
    if (!error)
        error = &spare;
    *error = NoError;
    if (!folder.isOpen() || !plainName(name)) {
        *error = ErrInvalidName;
        return {};
    }
    // Never through a link; a pipe, a socket or a device is no file to read.
    const UniqueFd fd = host::openShared(FolderAccess::fd(folder), QFile::encodeName(name),
                                         O_RDONLY | O_NOFOLLOW | O_NOATIME, true, 0, error);
    return fd.isOpen() ? host::readUpTo(fd.get(), size, error) : QByteArray();
}

FileFacts fileFacts(const Folder& folder, const QString& name, int* error) {
    int spare;
    if (!error)
        error = &spare;
    FileFacts facts;
    struct stat st;
    if (!folder.isOpen() || !plainName(name)) {
        *error = ErrInvalidName;
        return facts;
    }
    if (::fstatat(FolderAccess::fd(folder), QFile::encodeName(name).constData(), &st,
                  AT_SYMLINK_NOFOLLOW) != 0) {
        *error = winErrorFromErrno(errno);
        return facts;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = ErrAccessDenied;
        return facts;
    }
    *error = NoError;
    facts.size = st.st_size;
    facts.modifiedMs = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    return facts;
}

Folder makeSubfolder(const Folder& folder, const QString& name, int* error) {
    int spare;
    if (!error)
        error = &spare;
    if (folder.isOpen() && plainName(name) &&
        ::mkdirat(FolderAccess::fd(folder), QFile::encodeName(name).constData(), 0777) != 0 &&
        errno != EEXIST) {
        *error = winErrorFromErrno(errno);
        return Folder();
    }
    return folder.openSubfolder(name, error);
}

CopyResult copyVerified(const Folder& from, const QString& name, const Folder& to,
                        const QString& newName, const CopyHooks& hooks) {
    CopyResult result;
    if (!from.isOpen() || !to.isOpen()) {
        result.error = ErrPathNotFound;
        return result;
    }
    if (!plainName(name) || !plainName(newName)) {
        result.error = ErrInvalidName;
        return result;
    }
    const QByteArray target = QFile::encodeName(newName);
    struct stat st;
    if (::fstatat(FolderAccess::fd(to), target.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        result.error = ErrAlreadyExists;
        return result;
    }

    // Read only, never through a link, never waiting on a pipe; shared with
    // other readers, refused while a program holds it for writing.
    const UniqueFd source = host::openShared(FolderAccess::fd(from), QFile::encodeName(name),
                                             O_RDONLY | O_NOFOLLOW | O_NOATIME, true, LOCK_SH,
                                             &result.error);
    if (!source.isOpen() || ::fstat(source.get(), &st) != 0) {
        result.error = result.error != NoError ? result.error : winErrorFromErrno(errno);
        result.sourceFailed = true;
        return result;
    }
    ::posix_fadvise(source.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    Temporary temporary(FolderAccess::fd(to));
    if ((result.error = temporary.create()) != NoError)
        return result;
    Copier copier(source.get(), temporary.fd(), st.st_size, name, hooks);
    result = copier.copy();
    if (result.error != NoError || result.stopped)
        return result;
    const qint64 copied = result.bytes;
    // The disk starts writing while the copy is compared; the copy is
    // flushed, and equal to its source, before it gets its name.
    ::sync_file_range(temporary.fd(), 0, 0, SYNC_FILE_RANGE_WRITE);
    const struct timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
    if (::futimens(temporary.fd(), times) != 0) {
        result.error = winErrorFromErrno(errno);
        return result;
    }
    result = copier.compare(copied);
    if (result.error != NoError || result.stopped)
        return result;
    if (::fsync(temporary.fd()) != 0) {
        result.error = winErrorFromErrno(errno);
        return result;
    }
    if ((result.error = temporary.rename(target)) != NoError)
        return result;
    // The new name must reach the disk too.
    const UniqueFd dir(::openat(FolderAccess::fd(to), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.isOpen())
        ::fsync(dir.get());
    return result;
}

qint64 freeSpace(const QString& path, int* error) {
    int spare;
    if (!error)
        error = &spare;
    int err = NoError;
    const QString host = toHostPath(path, &err);
    if (host.isEmpty()) {
        *error = err;
        return -1;
    }
    struct statvfs vfs;
    if (::statvfs(QFile::encodeName(host).constData(), &vfs) != 0) {
        *error = winErrorFromErrno(errno);
        return -1;
    }
    *error = NoError;
    return qint64(vfs.f_bavail) * qint64(vfs.f_frsize);
}

void setCopyReadFaultForTests(ReadFault fault) {
    const std::lock_guard lock(faultSlot().mutex);
    faultSlot().fault = std::move(fault);
}

} // namespace platform
