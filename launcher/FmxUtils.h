#pragma once

#include "platform/Errors.h"

#include <QString>

#include <cstdint>

namespace platform {
class Folder;
}

// File and process helpers of the launcher's windows.
namespace pelmora {

// Bytes moved per read and write by CopyOneFile, where the system cannot copy
// by itself: large enough that a big file costs no more than its reading.
constexpr qint64 CopyChunkSize = 128 * 1024;

// The source of a copy cannot be opened.
class FileOpenError : public platform::Error {
public:
    using platform::Error::Error;
};

// The destination of a copy cannot be created.
class FileCreateError : public platform::Error {
public:
    using platform::Error::Error;
};

// Copies source to destination (a file, or a folder that receives the
// source's name). Only a regular file is copied: a device or a pipe might
// never end. The copy is written beside the destination and takes its place
// only once complete, so a failed copy leaves the previous file as it was; a
// link in the destination's place is replaced, never written through. Raises
// FileOpenError, FileCreateError, or IoError 100 (read) and 101 (write). Time
// stamps and attributes are not copied.
void CopyOneFile(const QString& source, const QString& destination);

// As CopyOneFile, into the entry of an open folder named by the last part of
// destination (the Windows path of that entry, as messages name it), the
// folder's path not looked up again.
void CopyIntoFolder(const QString& source, const platform::Folder& folder,
                    const QString& destination);

// True when every bit of attributes is set on the file or folder at path
// (links followed); a missing path has no attributes.
bool HasAllAttributes(const QString& path, std::uint16_t attributes);

// Starts fileName (found in folder as the shell would) with parameters, in
// folder, detached. Returns the shell's own result: above 32 when started,
// else the Windows error code (2 file not found, 3 folder not found, 5 refused).
int LaunchInFolder(const QString& fileName, const QString& parameters, const QString& folder,
                   int showCommand);

// Removes the read-only and hidden attributes, keeping the others. Failures
// are ignored: callers use it on a file they have just written.
void ClearReadOnlyHidden(const QString& path);

} // namespace pelmora
