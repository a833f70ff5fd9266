#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// A file opened with Windows sharing rules: readers share with readers; a
// writer wants the file for itself. Closed by its destructor.
class File {
public:
    File() = default;
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;

    // Opens an existing file for reading, others may read it too.
    static File openRead(const QString& path, int* error);
    // Creates or truncates a file for exclusive read-write access. An existing
    // read-only, hidden or system file, or one open elsewhere, fails with
    // ErrAccessDenied / ErrSharingViolation and is left as it was.
    static File create(const QString& path, int* error);

    bool isOpen() const { return m_fd >= 0; }
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
    int m_fd = -1;
};

// For tests: each read or copy step moves at most limit bytes (0: no limit),
// as a network or FUSE source may.
void setReadLimitForTests(qint64 limit);

} // namespace platform

// Inside platform/ only: the one way a host file is opened for the Windows
// file services (File, UpdateFile).
namespace platform::host {

// Opens host with flags (O_CLOEXEC and O_NONBLOCK added, so that a pipe
// without a writer cannot hang the program), refuses what is not a plain
// file (regularOnly) or what cannot be read as one (a folder, a pipe, a
// socket), then takes the Windows sharing lock (LOCK_SH or LOCK_EX): a file
// held elsewhere fails with ErrSharingViolation. Returns the descriptor, in
// blocking mode again, or -1 with *error set.
int openShared(const QByteArray& host, int flags, bool regularOnly, int lock, int* error);

} // namespace platform::host
