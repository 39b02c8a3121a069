#include "core/platform/UniqueFd.h"

#include <cerrno>
#include <unistd.h>

namespace scb {

void UniqueFd::reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

int UniqueFd::close()
{
    const int fd = release();
    if (fd < 0 || ::close(fd) == 0)
        return 0;
    return errno;
}

} // namespace scb
