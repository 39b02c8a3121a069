#include "core/FileStamp.h"

#include <algorithm>

#include "core/platform/Platform.h"

namespace scb {

std::int32_t packDosDateTime(const std::tm &local)
{
    // The packed form only spans 1980 to 2107. A file stamped outside that
    // range (a copy from an archive dated 1970, say) still exists, and -1 would
    // make the poll treat it as missing for good; pin it to the nearest end.
    const int year = local.tm_year + 1900;
    if (year < 1980)
        return static_cast<std::int32_t>((1u << 5 | 1u) << 16); // 1980-01-01 00:00:00
    if (year > 2107)
        return static_cast<std::int32_t>(((127u << 9 | 12u << 5 | 31u) << 16) | (23u << 11 | 59u << 5 | 29u));

    const auto field = [](int value, int low, int high) {
        return static_cast<std::uint32_t>(std::clamp(value, low, high));
    };
    const std::uint32_t date = field(year - 1980, 0, 127) << 9 | field(local.tm_mon + 1, 1, 12) << 5
        | field(local.tm_mday, 1, 31);
    // tm_sec may be 60 on a leap second; 60 / 2 still fits in five bits.
    const std::uint32_t time = field(local.tm_hour, 0, 23) << 11 | field(local.tm_min, 0, 59) << 5
        | field(local.tm_sec, 0, 61) / 2;
    return static_cast<std::int32_t>(date << 16 | time);
}

std::int32_t fileAge(const std::string &path)
{
    return stampAndFingerprint(path).age;
}

FileStampPair stampAndFingerprint(const std::string &path)
{
    const PathStatus st = statPath(path);
    if (!st.exists || st.isDirectory)
        return {};
    return {packDosDateTime(localTime(st.mtime)), {st.device, st.inode, st.size, st.mtimeNs, st.ctimeNs}};
}

} // namespace scb
