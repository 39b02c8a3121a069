#include "core/DropList.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace scb {

namespace {

constexpr std::size_t MaxPathChars = 255;

std::size_t utf8Length(const std::string &s)
{
    // Continuation bytes (10xxxxxx) do not start a character.
    return static_cast<std::size_t>(std::count_if(s.begin(), s.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

char asciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

std::vector<std::string> buildDropList(const std::vector<std::string> &paths, int charCase)
{
    std::vector<std::string> list;
    list.reserve(paths.size());
    for (const std::string &path : paths) {
        if (utf8Length(path) >= MaxPathChars)
            continue;
        std::string name = path;
        if (charCase == DropLowerCase)
            std::transform(name.begin(), name.end(), name.begin(), asciiLower);
        else if (charCase == DropUpperCase)
            std::transform(name.begin(), name.end(), name.begin(), asciiUpper);
        list.push_back(std::move(name));
    }
    return list;
}

} // namespace scb
