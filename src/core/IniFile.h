#pragma once
// Read-only view of an ini file, with the lenient rules of the platform's own
// ini reader so that hand-edited settings files keep working:
// - "[Name]" opens a section ("[Name" without its bracket does not);
//   section and key names match without regard to ASCII case; lines outside
//   any section are ignored;
// - blanks around names and values are stripped, then one pair of matching
//   enclosing quotes ('"' or '\'') around a value;
// - the first occurrence of a key wins; lines end in CR, LF or CR LF alike; a
//   NUL byte ends its line's text; a leading UTF-8 byte-order mark is skipped;
// - string values are cut at 2047 bytes; integers follow parseIniInteger().
// Lookups scan the text once each, so any input costs linear time and no
// memory beyond the text itself.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace scb {

// Longest string value handed out; longer values are cut.
inline constexpr std::size_t IniMaxString = 2047;

// After optional leading spaces: an optional sign and decimal digits within the
// 32-bit signed range, or "$", "0x", "0X", "x" or "X" and one to eight hex
// digits (no sign; eight digits wrap as two's complement, "$FFFFFFFF" is -1).
// Anything else, trailing characters included, gives nothing.
std::optional<std::int32_t> parseIniInteger(std::string_view text);

class IniFile
{
public:
    // A missing, unreadable or non-regular file reads as an empty one. Only the
    // first IniMaxFileSize bytes are looked at.
    static IniFile load(const std::string &path);
    static IniFile parse(std::string_view text);

    std::int32_t readInteger(std::string_view section, std::string_view key, std::int32_t def) const;
    std::string readString(std::string_view section, std::string_view key, std::string_view def) const;

    // The bytes looked at (empty for a missing or unreadable file).
    const std::string &text() const { return m_text; }

    static constexpr std::size_t IniMaxFileSize = 64u * 1024u * 1024u;

private:
    explicit IniFile(std::string text) : m_text(std::move(text)) {}
    // The stripped value of the first matching key, viewing into m_text.
    std::optional<std::string_view> find(std::string_view section, std::string_view key) const;

    std::string m_text;
};

} // namespace scb
