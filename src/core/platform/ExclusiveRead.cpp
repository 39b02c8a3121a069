#include "core/platform/ExclusiveRead.h"

#include <cerrno>
#include <csignal>
#include <mutex>
#include <utility>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>

#include "core/platform/FileRead.h"
#include "core/platform/FileWatch.h"

namespace scb {

namespace {

// From linux/magic.h and the CIFS/SMB2 client; spelled out so the build does
// not depend on kernel headers being installed.
constexpr unsigned long SmbSuperMagic = 0x517B;
constexpr unsigned long CifsMagic = 0xFF534D42;
constexpr unsigned long Smb2Magic = 0xFE534D42;
constexpr unsigned long NfsSuperMagic = 0x6969;

// True for SMB/CIFS and NFS mounts, where a lease would only see local openers.
bool isNetworkFileSystem(int fd)
{
    struct statfs fs;
    if (::fstatfs(fd, &fs) != 0)
        return false;
    const auto type = static_cast<unsigned long>(fs.f_type) & 0xFFFFFFFFul;
    return type == SmbSuperMagic || type == CifsMagic || type == Smb2Magic || type == NfsSuperMagic;
}

void ignoreLeaseBreak(int) {}

// A lease breaker makes the kernel signal the holder (SIGIO unless told
// otherwise), and SIGIO's default action ends the process. Installs a no-op
// handler once when SIGIO still has its default action; thread-safe.
void makeLeaseBreakSignalHarmless()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction current{};
        if (::sigaction(SIGIO, nullptr, &current) != 0 || current.sa_handler != SIG_DFL)
            return; // someone already decided what SIGIO means here
        // A handler rather than SIG_IGN: an ignored signal is inherited across
        // exec by child programs, a handler is reset to the default there.
        struct sigaction quiet{};
        quiet.sa_handler = ignoreLeaseBreak;
        sigemptyset(&quiet.sa_mask);
        quiet.sa_flags = SA_RESTART;
        ::sigaction(SIGIO, &quiet, nullptr);
    });
}

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

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size
        && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

} // namespace

std::string readFileExclusive(const std::string &path, FileWatch *writers)
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

    // Non-blocking: a FIFO swapped in meanwhile must not wait for a writer,
    // and an open that would break someone else's lease fails instead of
    // waiting.
    const UniqueFd fd = openForReading(path);
    if (!fd)
        throw cannotOpen(path, errno);

    if (::fstat(fd.get(), &before) != 0)
        throw cannotOpen(path, errno);
    if (!S_ISREG(before.st_mode))
        throw ReadError(path, ReadFailure::NotRegularFile);

    // Leases on network file systems only cover this machine's openers, so
    // there the stability check is the honest test.
    LeaseGuard lease;
    const bool local = !isNetworkFileSystem(fd.get());
    if (local) {
        if (writers)
            writers->follow(path);
        makeLeaseBreakSignalHarmless();
        if (!lease.take(fd.get()) && errno == EAGAIN) {
            // Some process has the file open for writing: its writer is busy.
            throw ReadError(path, ReadFailure::WriterBusy);
        }
        // EACCES/EPERM (not our file), EINVAL (leases unsupported or turned
        // off): fall through to the stability check.
    }

    FileRead read = readToEnd(fd.get(), before.st_size, NoReadLimit, OverLimit::Cut);
    if (read.status != FileReadStatus::Ok)
        throw cannotOpen(path, read.error);
    std::string bytes = std::move(read.bytes);

    if (lease.held()) {
        lease.release();
        return bytes;
    }

    // Without a lease the only evidence that nobody wrote meanwhile is that
    // the file looks the same after the read as before it, and that we got
    // exactly as many bytes as it holds.
    struct stat after;
    if (::fstat(fd.get(), &after) != 0 || !sameFile(before, after)
        || static_cast<std::int64_t>(bytes.size()) != static_cast<std::int64_t>(after.st_size))
        throw ReadError(path, ReadFailure::WriterBusy);

    // A writer that pauses mid-write leaves the file unchanged while it is
    // read, so the stability check passes on half a file. The folder watch
    // saw the write begin and not end; its events are taken in now, after
    // the read, so a write that began before the read is among them.
    if (local && writers) {
        writers->readEvents();
        if (writers->writeUnfinished())
            throw ReadError(path, ReadFailure::WriterBusy);
    }
    return bytes;
}

} // namespace scb
