#pragma once

#include "platform/HostFile.h"

#include <QByteArray>

namespace platform {

class Folder;

// A new file that takes the place of a folder's entry only once it is
// completely written: it is written under a temporary name beside the entry,
// flushed, then renamed over it. Until then the entry stays as it was, and a
// replacement given up (destroyed without commit, or whose commit failed)
// leaves no temporary file behind. The entry is replaced as the folder's own:
// a link there is replaced by the file, never written through.
class Replacement {
public:
    Replacement() = default;
    ~Replacement();
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;
    Replacement(Replacement&& other) noexcept;
    Replacement& operator=(Replacement&& other) noexcept;

    bool isOpen() const { return m_file.isOpen(); }
    // The new file, open for writing.
    File& file() { return m_file; }
    // Flushes and closes the new file and puts it in the entry's place.
    // Returns a Windows error code; on failure the entry is left as it was.
    int commit();

private:
    friend class Folder;
    void discard();

    int m_dirFd = -1; // O_PATH, the folder's own
    QByteArray m_temporary;
    QByteArray m_target;
    File m_file;
    File m_replaced; // the file being replaced, kept locked until the rename
};

} // namespace platform
