#include "core/Platform.h"

#include <sys/stat.h>
#include <sys/types.h>

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

#endif

} // namespace scb
