#pragma once
// An open file descriptor that closes itself, so that no way out of a
// function, an exception included, leaves one open.

#include <utility>

namespace scb {

class UniqueFd
{
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd &&other) noexcept : m_fd(other.release()) {}
    UniqueFd &operator=(UniqueFd &&other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;

    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }
    // Closes the descriptor held, if any, and takes fd.
    void reset(int fd = -1);
    // Closes now: 0, or the errno of a failed close, which for a file just
    // written can be the first news of a write that did not reach the disk.
    int close();

private:
    int m_fd = -1;
};

} // namespace scb
