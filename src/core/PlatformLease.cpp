#include "core/PlatformLease.h"

#ifndef _WIN32

#include <csignal>
#include <mutex>
#include <sys/statfs.h>

namespace scb {

namespace {

// From linux/magic.h and the CIFS/SMB2 client; spelled out so the build does
// not depend on kernel headers being installed.
constexpr unsigned long SmbSuperMagic = 0x517B;
constexpr unsigned long CifsMagic = 0xFF534D42;
constexpr unsigned long Smb2Magic = 0xFE534D42;
constexpr unsigned long NfsSuperMagic = 0x6969;

void ignoreLeaseBreak(int) {}

} // namespace

bool isNetworkFileSystem(int fd)
{
    struct statfs fs;
    if (::fstatfs(fd, &fs) != 0)
        return false;
    const auto type = static_cast<unsigned long>(fs.f_type) & 0xFFFFFFFFul;
    return type == SmbSuperMagic || type == CifsMagic || type == Smb2Magic || type == NfsSuperMagic;
}

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

} // namespace scb

#endif
