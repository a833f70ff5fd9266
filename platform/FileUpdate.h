#pragma once

#include "platform/UniqueFd.h"

#include <QDateTime>
#include <QString>

// A file changed in place: a few bytes rewritten where they stand and its
// modification time set, never truncated or created. Closed by its destructor.
namespace platform {

class UpdateFile {
public:
    // Opens an existing file at a Windows path, for writing when writable (a
    // read-only file then fails with ErrAccessDenied), else for reading only.
    // A file another program holds fails with ErrSharingViolation.
    static UpdateFile open(const QString& path, bool writable, int* error);

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
    UniqueFd m_fd;
};

} // namespace platform
