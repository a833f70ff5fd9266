#include "platform/EntryOps.h"

#include "platform/Attributes.h"
#include "platform/Drives.h"
#include "platform/Errors.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// The target of a rename exists. When it is the very file being renamed,
// under a second name (a link + unlink rename cut off between its two steps),
// the rename only has its unlink left to do; anything else is another file.
int finishInterruptedLink(int fromDir, const char* f, int toDir, const char* t) {
    struct stat from, to;
    if (::fstatat(fromDir, f, &from, AT_SYMLINK_NOFOLLOW) == 0 &&
        ::fstatat(toDir, t, &to, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(from.st_mode) &&
        from.st_dev == to.st_dev && from.st_ino == to.st_ino && from.st_nlink > 1) {
        return ::unlinkat(fromDir, f, 0) == 0 ? NoError : winErrorFromErrno(errno);
    }
    return ErrAlreadyExists;
}

} // namespace

namespace host {

// Renames f in fromDir to t in toDir, never replacing t.
int renameNoReplace(int fromDir, const char* f, int toDir, const char* t) {
    if (::renameat2(fromDir, f, toDir, t, RENAME_NOREPLACE) == 0)
        return NoError;
    if (errno == EEXIST)
        return finishInterruptedLink(fromDir, f, toDir, t);
    if (errno != EINVAL && errno != ENOSYS)
        return winErrorFromErrno(errno);
    // The file system refuses the no-replace flag. For a file, link + unlink
    // never replaces (link fails on an existing name).
    struct stat st;
    if (::fstatat(fromDir, f, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return winErrorFromErrno(errno);
    if (!S_ISDIR(st.st_mode)) {
        if (::linkat(fromDir, f, toDir, t, 0) == 0) {
            ::unlinkat(fromDir, f, 0);
            return NoError;
        }
        if (errno == EEXIST)
            return finishInterruptedLink(fromDir, f, toDir, t);
    }
    // Last resort (folders, or no hard links): look, then rename. A target
    // created by another process between the two calls could still be
    // replaced; nothing better is available on such a file system.
    struct stat target;
    if (::fstatat(toDir, t, &target, AT_SYMLINK_NOFOLLOW) == 0)
        return ErrAlreadyExists;
    if (::renameat(fromDir, f, toDir, t) != 0)
        return winErrorFromErrno(errno);
    return NoError;
}

// Deletes the file name in dir as DeleteFile does: a link as the link itself;
// a folder, a link to a folder or a read-only file is refused.
int deleteAt(int dir, const char* name) {
    struct stat st;
    if (::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return winErrorFromErrno(errno);
    if (S_ISDIR(st.st_mode))
        return ErrAccessDenied;
    if (S_ISLNK(st.st_mode)) {
        // A link to a folder is a folder to Windows (listings say so too).
        struct stat target;
        if (::fstatat(dir, name, &target, 0) == 0 && S_ISDIR(target.st_mode))
            return ErrAccessDenied;
    } else if (attributesFromStat(st) & AttrReadOnly) {
        return ErrAccessDenied;
    }
    if (::unlinkat(dir, name, 0) != 0)
        return winErrorFromErrno(errno);
    return NoError;
}

} // namespace host

using host::deleteAt;
using host::renameNoReplace;

int moveFile(const QString& from, const QString& to) {
    int error = NoError;
    const QString hostFrom = toHostPath(from, &error);
    if (hostFrom.isEmpty())
        return error;
    const QString hostTo = toHostPathExactName(to, &error);
    if (hostTo.isEmpty())
        return error;
    const QByteArray f = QFile::encodeName(hostFrom), t = QFile::encodeName(hostTo);
    if (hostFrom == hostTo) {
        struct stat st;
        return ::lstat(f.constData(), &st) == 0 ? NoError : winErrorFromErrno(errno);
    }
    return renameNoReplace(AT_FDCWD, f.constData(), AT_FDCWD, t.constData());
}

int deleteFile(const QString& path) {
    int error = NoError;
    const QString host = toHostPath(path, &error);
    if (host.isEmpty())
        return error;
    return deleteAt(AT_FDCWD, QFile::encodeName(host).constData());
}

} // namespace platform
