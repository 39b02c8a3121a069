#include "core/Platform.h"

#include <sys/stat.h>
#include <sys/types.h>

#if defined(__linux__)
#include <cstdint>
#include <sys/mman.h>
#endif

namespace scb {

namespace {

constexpr std::int64_t NsPerSecond = 1'000'000'000;

} // namespace

#ifdef _WIN32

PathStatus statPath(const std::string &path)
{
    PathStatus result;
    struct _stat64 st;
    if (path.empty() || _stat64(path.c_str(), &st) != 0)
        return result;
    result.exists = true;
    result.isDirectory = (st.st_mode & _S_IFMT) == _S_IFDIR;
    result.isRegular = (st.st_mode & _S_IFMT) == _S_IFREG;
    result.device = static_cast<std::uint64_t>(st.st_dev);
    result.inode = static_cast<std::uint64_t>(st.st_ino);
    result.size = static_cast<std::int64_t>(st.st_size);
    result.mtime = st.st_mtime;
    result.mtimeNs = static_cast<std::int64_t>(st.st_mtime) * NsPerSecond;
    result.ctimeNs = static_cast<std::int64_t>(st.st_ctime) * NsPerSecond;
    return result;
}

std::tm localTime(std::time_t t)
{
    std::tm local{};
    localtime_s(&local, &t);
    return local;
}

void reserveBuffer(std::string &s, std::size_t n)
{
    s.reserve(n);
}

#else

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

void reserveBuffer(std::string &s, std::size_t n)
{
    s.reserve(n);
#if defined(MADV_HUGEPAGE)
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
#endif
}

#endif

} // namespace scb
