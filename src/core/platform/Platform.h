#pragma once
// The few file-system, clock and locale services the core needs. Everything
// the program asks of the operating system lives in this folder, so a port to
// another system replaces the files here and nothing above them.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace scb {

struct PathStatus
{
    bool exists = false;
    bool isDirectory = false;
    bool isRegular = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::time_t mtime = 0;      // whole seconds since the epoch
    std::int64_t mtimeNs = 0;   // the same instant in nanoseconds
    std::int64_t ctimeNs = 0;
};

// Follows symbolic links; exists is false when the path names nothing.
PathStatus statPath(const std::string &path);

// The process's working folder; "." when it cannot be named.
std::string workingFolder();

// Broken-down local time of t, thread-safe.
std::tm localTime(std::time_t t);

// The locale's time separator: what follows the hour in its time format
// (normally ':').
char localeTimeSeparator();

// Ends the sending side of a connected socket: the peer reads what was sent,
// then the end, while what it still sends can be read and dropped.
void endSending(std::intptr_t socket);

// Reserves room for n characters before the string is filled. A large buffer
// is backed by huge pages where the system offers them: faulting in a 50 MB
// display file page by page costs far more than reading it.
void reserveBuffer(std::string &s, std::size_t n);

} // namespace scb
