#include "core/platform/Platform.h"

#include <cstring>
#include <filesystem>
#include <langinfo.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>

namespace scb {

namespace {

constexpr std::int64_t NsPerSecond = 1'000'000'000;

} // namespace

PathStatus statPath(const std::string &path)
{
    PathStatus result;
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return result;
    result.exists = true;
    result.isDirectory = S_ISDIR(st.st_mode);
    result.isRegular = S_ISREG(st.st_mode);
    result.device = static_cast<std::uint64_t>(st.st_dev);
    result.inode = static_cast<std::uint64_t>(st.st_ino);
    result.size = static_cast<std::int64_t>(st.st_size);
    result.mtime = st.st_mtim.tv_sec;
    result.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * NsPerSecond + st.st_mtim.tv_nsec;
    result.ctimeNs = static_cast<std::int64_t>(st.st_ctim.tv_sec) * NsPerSecond + st.st_ctim.tv_nsec;
    return result;
}

std::tm localTime(std::time_t t)
{
    std::tm local{};
    localtime_r(&t, &local);
    return local;
}

std::string workingFolder()
{
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::current_path(ec);
    return ec ? std::string(".") : p.string();
}

char localeTimeSeparator()
{
    // The locale's time format, e.g. "%H:%M:%S", "%H.%M.%S" or "%r". The
    // separator is what follows the hour; composite conversions (%r, %T, %R)
    // all use a colon.
    const char *format = nl_langinfo(T_FMT);
    if (format == nullptr)
        return ':';
    for (const char *p = format; *p != '\0'; ++p) {
        if (*p != '%')
            continue;
        ++p;
        // Skip the E/O modifiers and glibc's flag and width characters.
        while (*p != '\0' && std::strchr("EO-_0^#123456789", *p) != nullptr)
            ++p;
        if (*p == '\0')
            break;
        if (*p == 'H' || *p == 'I' || *p == 'k' || *p == 'l') {
            const auto next = static_cast<unsigned char>(p[1]);
            // A multi-byte character cannot be one char; keep the usual colon.
            if (next != '\0' && next != '%' && next < 0x80)
                return static_cast<char>(next);
            return ':';
        }
    }
    return ':';
}

void reserveBuffer(std::string &s, std::size_t n)
{
    s.reserve(n);
    constexpr std::uintptr_t HugePage = std::uintptr_t(2) << 20;
    if (s.capacity() < 2 * HugePage)
        return;
    // Only whole huge pages inside the buffer are advised; the advice is a
    // hint, so a refusal changes nothing but speed.
    const auto begin = reinterpret_cast<std::uintptr_t>(s.data());
    const std::uintptr_t first = (begin + HugePage - 1) & ~(HugePage - 1);
    const std::uintptr_t last = (begin + s.capacity()) & ~(HugePage - 1);
    if (last > first)
        ::madvise(reinterpret_cast<void *>(first), last - first, MADV_HUGEPAGE);
}

void endSending(std::intptr_t socket)
{
    ::shutdown(static_cast<int>(socket), SHUT_WR);
}

} // namespace scb
