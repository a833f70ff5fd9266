#pragma once

#include <QString>

// Renaming and deleting an entry as Windows does: a rename never replaces, a
// link is renamed or deleted as the link itself.
namespace platform {

// Renames (moves) a file or folder. Never replaces an existing target: fails
// with ErrAlreadyExists instead. A link is renamed as the link itself.
int moveFile(const QString& from, const QString& to);

// Deletes a file (a link as the link itself). A read-only file or a folder is
// not deleted: ErrAccessDenied.
int deleteFile(const QString& path);

} // namespace platform

// Inside platform/ only: the same on entries of open folders (AT_FDCWD for
// host paths).
namespace platform::host {

// Renames f in fromDir to t in toDir, never replacing t.
int renameNoReplace(int fromDir, const char* f, int toDir, const char* t);
// Deletes the file name in dir as DeleteFile does: a link as the link itself;
// a folder, a link to a folder or a read-only file is refused.
int deleteAt(int dir, const char* name);

} // namespace platform::host
