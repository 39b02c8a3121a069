#include "core/platform/FolderLock.h"

#include <cerrno>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace scb {

FolderLock::FolderLock(const std::string &folder, std::chrono::milliseconds wait)
{
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd)
        return;
    // Polled rather than waited for in the kernel: a holder that never lets
    // go must not hold the caller for longer than it allows.
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
            m_fd = std::move(fd);
            m_outcome = Outcome::Held;
            return;
        }
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return;
        if (std::chrono::steady_clock::now() >= deadline) {
            m_outcome = Outcome::Busy;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace scb
