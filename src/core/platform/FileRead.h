#pragma once
// The one way a whole file is read: opened without blocking, checked to be a
// regular file on the descriptor itself, read to its end within a byte limit.
// The settings file, the background picture and (through the exclusive read)
// the display file all come in this way.

#include <cstdint>
#include <limits>
#include <string>

#include "core/platform/UniqueFd.h"

namespace scb {

enum class FileReadStatus { Ok, CannotOpen, NotRegularFile, TooLarge, ReadFailed };

struct FileRead
{
    FileReadStatus status = FileReadStatus::CannotOpen;
    int error = 0;     // the system's error number for CannotOpen and ReadFailed
    std::string bytes; // the file's bytes when Ok, else empty
};

// What a file longer than the limit gets: refused, or cut at the limit.
enum class OverLimit { Refuse, Cut };

inline constexpr std::uint64_t NoReadLimit = std::numeric_limits<std::uint64_t>::max();

// Read-only and non-blocking, so that a FIFO or device named by mistake
// cannot hang the caller, and never as a controlling terminal. Empty, with
// errno set, when the open fails.
UniqueFd openForReading(const std::string &path);

// Reads fd from its offset to end of file, keeping at most limit bytes.
// sizeHint (what fstat said) only sizes the buffer: the file may be longer
// or shorter by the time the read gets there.
FileRead readToEnd(int fd, std::int64_t sizeHint, std::uint64_t limit, OverLimit over);

// openForReading, the regular-file check, then readToEnd. With Refuse, a
// file whose size already exceeds the limit is refused before any read.
FileRead readWholeFile(const std::string &path, std::uint64_t limit, OverLimit over);

} // namespace scb
