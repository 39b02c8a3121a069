#include "core/platform/FileRead.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/platform/Platform.h"

namespace scb {

UniqueFd openForReading(const std::string &path)
{
    return UniqueFd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
}

FileRead readToEnd(int fd, std::int64_t sizeHint, std::uint64_t limit, OverLimit over)
{
    FileRead result;
    // One byte past the limit tells a file that is too long from one that
    // fits exactly.
    const std::uint64_t keep = over == OverLimit::Refuse && limit != NoReadLimit ? limit + 1 : limit;
    const std::uint64_t hint = sizeHint > 0 ? static_cast<std::uint64_t>(sizeHint) : 0;
    std::string &bytes = result.bytes;
    std::size_t used = 0;
    // Read straight into the string: a copy through a small buffer costs a
    // large display file a second pass over its bytes.
    const auto first = static_cast<std::size_t>(std::min(hint + 1, keep));
    reserveBuffer(bytes, first);
    bytes.resize(first);
    while (used < keep) {
        if (used == bytes.size()) {
            const std::size_t grown = bytes.size() < 65536 ? 65536 : bytes.size() * 2;
            bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(grown, keep)));
        }
        const ssize_t got = ::read(fd, bytes.data() + used, bytes.size() - used);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            result.status = FileReadStatus::ReadFailed;
            result.error = errno;
            bytes.clear();
            return result;
        }
        if (got == 0)
            break;
        used += static_cast<std::size_t>(got);
    }
    if (used > limit) {
        result.status = FileReadStatus::TooLarge;
        bytes.clear();
        return result;
    }
    bytes.resize(used);
    result.status = FileReadStatus::Ok;
    return result;
}

FileRead readWholeFile(const std::string &path, std::uint64_t limit, OverLimit over)
{
    FileRead result;
    const UniqueFd fd = openForReading(path);
    if (!fd) {
        result.error = errno;
        return result;
    }
    // Judged on the descriptor, not the name: the name may have been given to
    // something else between a look and the open.
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        result.status = FileReadStatus::NotRegularFile;
        return result;
    }
    if (over == OverLimit::Refuse && static_cast<std::uint64_t>(st.st_size) > limit) {
        result.status = FileReadStatus::TooLarge;
        return result;
    }
    return readToEnd(fd.get(), st.st_size, limit, over);
}

} // namespace scb
