#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Copying from a medium that must stay exactly as it was (a camcorder's
// card): its folders and files are read without ever setting an access time,
// and a copy gets its name only once it is on the disk and equal to its
// source. Failures are Windows codes, as everywhere in platform/ (Errors.h).
namespace platform {

class Folder;

// The folder at a Windows path, as Folder::open, opened so that listing it
// does not set its access time.
Folder openUntouched(const QString& path, int* error = nullptr);
// The subfolder name of folder, as Folder::openSubfolder, likewise.
Folder openSubfolderUntouched(const Folder& folder, const QString& name, int* error = nullptr);
// As Folder::readHead, without setting the file's access time.
QByteArray readHeadUntouched(const Folder& folder, const QString& name, qint64 size, int* error);

// A file of a folder as a copy needs to know it.
struct FileFacts {
    qint64 size = -1;
    qint64 modifiedMs = 0; // milliseconds since 1970 (UTC)
};
// Size and modification time of the entry name of folder, never through a
// link; *error set when there is no such plain file.
FileFacts fileFacts(const Folder& folder, const QString& name, int* error);

// The subfolder name of folder, made when it does not exist yet, and opened
// (never through a link). *error set when it can be neither made nor opened.
Folder makeSubfolder(const Folder& folder, const QString& name, int* error);

struct CopyHooks {
    std::function<bool()> stop;                 // asked between two chunks
    std::function<void(qint64 bytes)> progress; // bytes of this file copied so far
};

struct CopyResult {
    int error = 0;             // Windows code, 0 when the copy has its name
    bool stopped = false;      // the stop hook ended it
    bool sourceFailed = false; // the error came from reading the source
    bool differs = false;      // read back, the copy was not equal to its source
    qint64 bytes = 0;          // size of the copy
};

// Copies the file name of from to the new file newName of to. The copy is
// written under a temporary name in to, takes the source's modification time,
// is flushed to the disk, read back and compared with the source byte for
// byte, and only then renamed to newName, never replacing anything (an
// existing newName fails with ErrAlreadyExists). The source is only read.
// Whatever ends the copy early (an error, a difference, a stop) leaves no
// temporary file and nothing under newName.
CopyResult copyVerified(const Folder& from, const QString& name, const Folder& to,
                        const QString& newName, const CopyHooks& hooks = {});

// Bytes an ordinary user may still write on the disk that holds the folder at
// a Windows path; -1 with *error set when it cannot be told.
qint64 freeSpace(const QString& path, int* error);

// For tests: called before each read of a copy's source with the source's
// name and the offset about to be read; a non-zero Windows code makes that
// read fail with it. An empty function reads normally.
using ReadFault = std::function<int(const QString& name, qint64 offset)>;
void setCopyReadFaultForTests(ReadFault fault);

} // namespace platform
