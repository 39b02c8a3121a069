#pragma once
// Modification stamps of the display file.
//
// fileAge() is the classic stamp: local last-write time packed as an MS-DOS
// date and time (two-second resolution), -1 for a missing path or a folder.
// Its fingerprint, from the same stat, is the full-precision identity used
// beside it so that two rewrites inside one two-second step are still told
// apart.

#include <cstdint>
#include <ctime>
#include <string>

namespace scb {

// Packs a broken-down local time: date in the high 16 bits (year-1980, month,
// day), time in the low 16 bits (hour, minute, second/2).
std::int32_t packDosDateTime(const std::tm &local);

// -1 when the path names nothing or a directory.
std::int32_t fileAge(const std::string &path);

struct FileFingerprint
{
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = -1;
    std::int64_t mtimeNs = 0;
    std::int64_t ctimeNs = 0;
    bool operator==(const FileFingerprint &) const = default;
};

// Both from one stat: the poll tick runs every second and should cost the
// file system no more than one look. The fingerprint is empty (size -1) for
// a missing path or a directory.
struct FileStampPair
{
    std::int32_t age = -1;
    FileFingerprint print;
};
FileStampPair stampAndFingerprint(const std::string &path);

} // namespace scb
