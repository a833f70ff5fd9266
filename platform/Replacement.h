#pragma once

#include "platform/HostFile.h"

#include <QByteArray>

#include <functional>

namespace platform {

class Folder;

// A new file that takes the place of a folder's entry only once it is
// completely written: it is written beside the entry without a name where the
// file system allows it (else under a temporary name), flushed, then named and
// renamed over it. Until then the entry stays as it was, and a replacement
// given up (destroyed without commit, or whose commit failed) leaves no
// temporary file behind. The entry is replaced as the folder's own: a link
// there is replaced by the file, never written through. A file replaced keeps
// its permissions; anything more done to the new file goes through file(),
// before the commit, never by its name after it.
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
    bool keepMode(int* error);

    int m_dirFd = -1; // O_PATH, the folder's own
    QByteArray m_temporary; // empty while the new file has no name
    QByteArray m_target;
    int m_mode = -1; // the replaced file's permissions, kept by the new one
    File m_file;
    File m_replaced; // the file being replaced, kept locked until the rename
};

// For tests: told of each step of a commit as it is done.
enum class ReplacementStep { Flushed, Renamed };
void setReplacementHookForTests(std::function<void(ReplacementStep)> hook);

} // namespace platform
