#pragma once

#include <QByteArray>

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
// As openShared, for the entry name of the open folder dir: no path is
// looked up again (O_NOFOLLOW, where wanted, is the caller's to add).
int openSharedAt(int dir, const QByteArray& name, int flags, bool regularOnly, int lock,
                 int* error);

} // namespace platform::host
