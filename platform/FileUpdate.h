#pragma once

#include "platform/UniqueFd.h"

#include <QDateTime>
#include <QString>

// A file changed in place: a few bytes rewritten where they stand and its
// modification time set, never truncated or created. Closed by its destructor.
namespace platform {

class Folder;

class UpdateFile {
public:
    // Opens an existing file at a Windows path, for writing when writable (a
    // read-only file then fails with ErrAccessDenied), else for reading only.
    // A file another program holds fails with ErrSharingViolation; a link or
    // anything but a plain file with ErrAccessDenied.
    static UpdateFile open(const QString& path, bool writable, int* error);
    // The same for the entry name of an open folder: the name alone is looked
    // up, in that folder, whatever has become of the folder's path since.
    static UpdateFile openIn(const Folder& folder, const QString& name, bool writable, int* error);

    bool isOpen() const { return m_fd.isOpen(); }
    // Bytes read at offset (0 at end of file), or -1 with *error set.
    qint64 readAt(qint64 offset, char* buffer, qint64 size, int* error);
    // Writes all of buffer at offset; returns a Windows error code.
    int writeAt(qint64 offset, const char* buffer, qint64 size);
    // Sets the modification time (the access time is left as it is).
    int setModificationTime(const QDateTime& time);
    // Until this returns, what was written may still be lost with the power.
    int flush();

private:
    static UpdateFile openAt(int dir, const QByteArray& name, bool writable, int* error);

    UniqueFd m_fd;
    int m_readFault = 0; // see setCardFaultsForTests
    int m_flushFault = 0;
};

// True when the entry name of folder (a link not followed) is a file with the
// read-only attribute: what a refusal to change or delete it comes from.
bool readOnlyEntry(const Folder& folder, const QString& name);

// For tests: what a failing card does, which no test can make a real card do.
// Reads from a file opened under the name readName fail with readError, and
// flushes of a file opened under flushName with flushError (Windows codes;
// 0 for none). Set while no file is being opened.
struct CardFaults {
    QString readName;
    int readError = 0;
    QString flushName;
    int flushError = 0;
};
void setCardFaultsForTests(const CardFaults& faults);

} // namespace platform
