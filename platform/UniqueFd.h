#pragma once

#include <unistd.h>

#include <utility>

// The one owner of a file descriptor, in platform/ and above: closed when the owner
// goes, handed on by move, never copied. -1 owns nothing.
namespace platform {

class UniqueFd {
public:
    UniqueFd() noexcept = default;
    explicit UniqueFd(int fd) noexcept : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    int get() const noexcept { return m_fd; }
    bool isOpen() const noexcept { return m_fd >= 0; }
    // Gives the descriptor up without closing it.
    int release() noexcept { return std::exchange(m_fd, -1); }
    // Closes what is owned (a failure of close then goes unheard) and owns fd.
    void reset(int fd = -1) noexcept {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    // Closes now; false, with errno set, when the close itself failed (a
    // write the system had kept back may have been lost).
    bool close() noexcept { return m_fd < 0 || ::close(release()) == 0; }

private:
    int m_fd = -1;
};

} // namespace platform
