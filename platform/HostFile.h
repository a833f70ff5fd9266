#pragma once

#include "platform/UniqueFd.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace platform {

// A file opened with Windows sharing rules: readers share with readers; a
// writer wants the file for itself. Closed by its destructor.
class File {
public:
    File() = default;
    ~File() { close(); }
    File(File&& other) noexcept = default;
    File& operator=(File&& other) noexcept;

    // Opens an existing file for reading, others may read it too.
    static File openRead(const QString& path, int* error);
    // Creates or truncates a file for exclusive read-write access. An existing
    // read-only, hidden or system file, or one open elsewhere, fails with
    // ErrAccessDenied / ErrSharingViolation and is left as it was.
    static File create(const QString& path, int* error);

    bool isOpen() const { return m_fd.isOpen(); }
    // Bytes read (0 at end of file), or -1 with *error set.
    qint64 read(char* buffer, qint64 size, int* error);
    // Bytes written, or -1 with *error set.
    qint64 write(const char* buffer, qint64 size, int* error);
    // Copies up to size bytes from this file's position to out's inside the
    // system, without passing them through the program. Bytes copied (0 may
    // also mean that the file system cannot tell the end this way: read to be
    // sure), or -1 with *error set: ErrNotSupported when these two files
    // cannot be copied so (nothing was copied then), ErrDiskFull when out's
    // disk is full.
    qint64 copyTo(File& out, qint64 size, int* error);
    // True for a regular file: not a folder, device, pipe or socket.
    bool isRegular() const;
    // Flushes to the disk and closes; returns a Windows error code.
    int close();

private:
    friend class Folder;
    friend class Replacement;
    UniqueFd m_fd;
};

// For tests: each read or copy step moves at most limit bytes (0: no limit),
// as a network or FUSE source may.
void setReadLimitForTests(qint64 limit);

} // namespace platform

// Inside platform/ only: the one way a host file is opened, for the Windows
// file services (File, UpdateFile, Replacement) and every reader (the head of
// a folder's entry, the profiles).
namespace platform::host {

// Opens name in the folder open as dir (AT_FDCWD: name is a host path) with
// flags (O_CLOEXEC and O_NONBLOCK added, so that a pipe without a writer
// cannot hang the program; O_NOFOLLOW where a last link must not be
// followed; O_CREAT makes the file with mode 0666; O_NOATIME, dropped where
// the kernel refuses it to this user, reads without setting the access
// time), refuses what is not a
// plain file (regularOnly) or what cannot be read as one (a folder, a pipe, a
// socket), then takes the Windows sharing lock (LOCK_SH or LOCK_EX; 0 for a
// reader that shares with everyone): a file held elsewhere fails with
// ErrSharingViolation. Returns the descriptor, in blocking mode again, or
// none with *error set.
UniqueFd openShared(int dir, const QByteArray& name, int flags, bool regularOnly, int lock,
                    int* error);

// Opens the folder path of the folder open as at (AT_FDCWD: a host path) for
// reading, so that listing it needs no second open; a folder that may not be
// read is opened O_PATH (its entries can still be renamed; listing it is what
// fails then). Sets *readable accordingly.
UniqueFd openFolderAt(int at, const char* path, int flags, bool* readable);

// "~<pid>-<n>.tmp": the names a file takes beside the one it is to become
// (a replacement, a verified copy), which removeStaleReplacements knows.
// make(name) is called for n from 0 on until it succeeds (true) or fails
// otherwise than on an existing name (false, errno set); returns the name
// made, or an empty one.
QByteArray makeTemporaryName(const std::function<bool(const char* name)>& make);
// A new file under such a name in the folder open as dir (never an existing
// name, not even a dangling link's), its name in *name; none with *error
// set when it cannot be made.
UniqueFd createTemporary(int dir, QByteArray* name, int* error);

// Up to size bytes from fd's position on (fewer at the end of the file); a
// null array with *error set when they cannot be read.
QByteArray readUpTo(int fd, qint64 size, int* error);

} // namespace platform::host
