#include "core/ExclusiveRead.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "core/FileWatch.h"
#include "core/Platform.h"
#include "core/PlatformLease.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace scb {

std::string readFailureText(ReadFailure reason)
{
    switch (reason) {
    case ReadFailure::None:
        return {};
    case ReadFailure::Missing:
        return "The file is missing.";
    case ReadFailure::AccessDenied:
        return "Permission denied.";
    case ReadFailure::NotRegularFile:
        return "Not a regular file.";
    case ReadFailure::WriterBusy:
        return "Its writer has the file open.";
    case ReadFailure::Unreadable:
        break;
    }
    return "The file could not be read.";
}

ReadError::ReadError(const std::string &path, ReadFailure reason)
    : Error("Cannot open file " + path), m_reason(reason)
{
}

#ifdef _WIN32

namespace {

ReadError cannotOpen(const std::string &path, DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ReadError(path, ReadFailure::Missing);
    case ERROR_ACCESS_DENIED:
        return ReadError(path, ReadFailure::AccessDenied);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return ReadError(path, ReadFailure::WriterBusy);
    default:
        return ReadError(path, ReadFailure::Unreadable);
    }
}

} // namespace

void followWriters(const std::string &) {}

std::string readFileExclusive(const std::string &path)
{
    // Share mode 0: the open fails while anyone else has the file open, and
    // nobody else can open it until the handle is closed.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw cannotOpen(path, GetLastError());
    struct Closer
    {
        HANDLE h;
        ~Closer() { CloseHandle(h); }
    } closer{file};

    if (GetFileType(file) != FILE_TYPE_DISK)
        throw ReadError(path, ReadFailure::NotRegularFile);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size))
        throw cannotOpen(path, GetLastError());

    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(size.QuadPart));
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr))
            throw cannotOpen(path, GetLastError());
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

ReadError cannotOpen(const std::string &path, int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return ReadError(path, ReadFailure::Missing);
    case EACCES:
    case EPERM:
        return ReadError(path, ReadFailure::AccessDenied);
    default:
        return ReadError(path, ReadFailure::Unreadable);
    }
}

// The thread's own watch: the worker that reads the display file keeps it for
// its whole life, so it has seen every write since the first look.
FileWatch &writerWatch()
{
    thread_local FileWatch watch(true);
    return watch;
}

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

void followWriters(const std::string &path)
{
    FileWatch &watch = writerWatch();
    watch.arm(path);
    watch.readEvents();
}

std::string readFileExclusive(const std::string &path)
{
    // Looking before opening keeps devices from seeing an open at all; the
    // fstat below settles the question for the object actually opened.
    struct stat before;
    if (path.empty())
        throw ReadError(path, ReadFailure::Missing);
    if (::stat(path.c_str(), &before) != 0)
        throw cannotOpen(path, errno);
    if (!S_ISREG(before.st_mode))
        throw ReadError(path, ReadFailure::NotRegularFile);

    // O_NONBLOCK: a FIFO swapped in meanwhile must not wait for a writer, and
    // an open that would break someone else's lease fails instead of waiting.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        throw cannotOpen(path, errno);
    FdGuard closer(fd);

    if (::fstat(fd, &before) != 0)
        throw cannotOpen(path, errno);
    if (!S_ISREG(before.st_mode))
        throw ReadError(path, ReadFailure::NotRegularFile);

    // Leases on network file systems only cover this machine's openers, so
    // there the stability check is the honest test.
    LeaseGuard lease;
    const bool local = !isNetworkFileSystem(fd);
    if (local) {
        followWriters(path);
        makeLeaseBreakSignalHarmless();
        if (!lease.take(fd) && errno == EAGAIN) {
            // Some process has the file open for writing: its writer is busy.
            throw ReadError(path, ReadFailure::WriterBusy);
        }
        // EACCES/EPERM (not our file), EINVAL (leases unsupported or turned
        // off): fall through to the stability check.
    }

    std::string bytes;
    if (!readAll(fd, before.st_size, bytes))
        throw cannotOpen(path, errno);

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
        throw ReadError(path, ReadFailure::WriterBusy);

    // A writer that pauses mid-write leaves the file unchanged while it is
    // read, so the stability check passes on half a file. The folder watch
    // saw the write begin and not end; its events are taken in now, after
    // the read, so a write that began before the read is among them.
    if (local) {
        FileWatch &watch = writerWatch();
        watch.readEvents();
        if (watch.writeUnfinished())
            throw ReadError(path, ReadFailure::WriterBusy);
    }
    return bytes;
}

#endif

} // namespace scb
