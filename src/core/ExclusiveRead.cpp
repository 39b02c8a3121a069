#include "core/ExclusiveRead.h"

#include "core/Error.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "core/Platform.h"
#include "core/PlatformLease.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace scb {

namespace {

Error cannotOpen(const std::string &path)
{
    return Error("Cannot open file " + path);
}

} // namespace

#ifdef _WIN32

std::string readFileExclusive(const std::string &path)
{
    // Share mode 0: the open fails while anyone else has the file open, and
    // nobody else can open it until the handle is closed.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw cannotOpen(path);
    struct Closer
    {
        HANDLE h;
        ~Closer() { CloseHandle(h); }
    } closer{file};

    if (GetFileType(file) != FILE_TYPE_DISK)
        throw cannotOpen(path);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size))
        throw cannotOpen(path);

    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(size.QuadPart));
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr))
            throw cannotOpen(path);
        if (got == 0)
            break;
        bytes.append(buffer, got);
    }
    return bytes;
}

#else

namespace {

class FdGuard
{
public:
    explicit FdGuard(int fd) : m_fd(fd) {}
    ~FdGuard() { ::close(m_fd); }
    FdGuard(const FdGuard &) = delete;
    FdGuard &operator=(const FdGuard &) = delete;

private:
    int m_fd;
};

// Releases the lease as soon as the bytes are in, so a writer that opened the
// file meanwhile waits only for the read, not for the caller's processing.
class LeaseGuard
{
public:
    LeaseGuard() = default;
    ~LeaseGuard() { release(); }
    LeaseGuard(const LeaseGuard &) = delete;
    LeaseGuard &operator=(const LeaseGuard &) = delete;

    // Returns false with errno set when the lease cannot be had.
    bool take(int fd)
    {
        if (::fcntl(fd, F_SETLEASE, F_RDLCK) != 0)
            return false;
        m_fd = fd;
        return true;
    }

    bool held() const { return m_fd >= 0; }

    void release()
    {
        if (m_fd >= 0)
            ::fcntl(m_fd, F_SETLEASE, F_UNLCK);
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size
        && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// Reads to end of file; the size from fstat is only a hint because the file
// may be longer (or shorter) by the time the read gets there.
bool readAll(int fd, std::int64_t sizeHint, std::string &bytes)
{
    std::size_t used = 0;
    const std::size_t expected = static_cast<std::size_t>(sizeHint > 0 ? sizeHint : 0) + 1;
    reserveBuffer(bytes, expected);
    bytes.resize(expected);
    for (;;) {
        if (used == bytes.size())
            bytes.resize(bytes.size() < 65536 ? 65536 : bytes.size() * 2);
        const ssize_t got = ::read(fd, bytes.data() + used, bytes.size() - used);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (got == 0)
            break;
        used += static_cast<std::size_t>(got);
    }
    bytes.resize(used);
    return true;
}

} // namespace

std::string readFileExclusive(const std::string &path)
{
    // Looking before opening keeps devices from seeing an open at all; the
    // fstat below settles the question for the object actually opened.
    struct stat before;
    if (path.empty() || ::stat(path.c_str(), &before) != 0 || !S_ISREG(before.st_mode))
        throw cannotOpen(path);

    // O_NONBLOCK: a FIFO swapped in meanwhile must not wait for a writer, and
    // an open that would break someone else's lease fails instead of waiting.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        throw cannotOpen(path);
    FdGuard closer(fd);

    if (::fstat(fd, &before) != 0 || !S_ISREG(before.st_mode))
        throw cannotOpen(path);

    // Leases on network file systems only cover this machine's openers, so
    // there the stability check is the honest test.
    LeaseGuard lease;
    if (!isNetworkFileSystem(fd)) {
        makeLeaseBreakSignalHarmless();
        if (!lease.take(fd) && errno == EAGAIN) {
            // Some process has the file open for writing: its writer is busy.
            throw cannotOpen(path);
        }
        // EACCES/EPERM (not our file), EINVAL (leases unsupported or turned
        // off): fall through to the stability check.
    }

    std::string bytes;
    if (!readAll(fd, before.st_size, bytes))
        throw cannotOpen(path);

    if (lease.held()) {
        lease.release();
        return bytes;
    }

    // Without a lease the only evidence that nobody wrote meanwhile is that
    // the file looks the same after the read as before it, and that we got
    // exactly as many bytes as it holds.
    struct stat after;
    if (::fstat(fd, &after) != 0 || !sameFile(before, after)
        || static_cast<std::int64_t>(bytes.size()) != static_cast<std::int64_t>(after.st_size))
        throw cannotOpen(path);
    return bytes;
}

#endif

} // namespace scb
