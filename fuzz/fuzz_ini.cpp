// The settings reader against arbitrary bytes: whatever a hand-edited or
// damaged "Resolution.ini" holds, lookups finish, stay inside the text and
// agree with an independent reading of the integer rules.

#include "core/IniFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace {

// A second, deliberately naive reading of the integer rules, kept apart from
// the real one so that the two check each other.
std::optional<std::int32_t> referenceInteger(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    s.remove_prefix(i);
    std::string_view digits;
    bool hex = false;
    if (s.starts_with("0x") || s.starts_with("0X")) {
        hex = true;
        digits = s.substr(2);
    } else if (!s.empty() && (s[0] == '$' || s[0] == 'x' || s[0] == 'X')) {
        hex = true;
        digits = s.substr(1);
    }
    if (hex) {
        if (digits.empty() || digits.size() > 8)
            return std::nullopt;
        std::uint32_t v = 0;
        for (char c : digits) {
            int d;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else
                return std::nullopt;
            v = v * 16 + static_cast<std::uint32_t>(d);
        }
        return static_cast<std::int32_t>(v);
    }
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    if (s.empty())
        return std::nullopt;
    // Leading zeros do not count towards the range.
    std::size_t first = 0;
    while (first + 1 < s.size() && s[first] == '0')
        ++first;
    for (char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    const std::string_view significant = s.substr(first);
    if (significant.size() > 10)
        return std::nullopt;
    const long long v = std::strtoll(std::string(significant).c_str(), nullptr, 10) * (negative ? -1 : 1);
    if (v < INT32_MIN || v > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(v);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);

    if (scb::parseIniInteger(text) != referenceInteger(text))
        std::abort();

    // The whole input as a settings file, looked up the way start-up does.
    const scb::IniFile ini = scb::IniFile::parse(text);
    static const char *const integerKeys[] = {"SLeft", "STop", "SWidth", "SHeight", "BColor",
                                              "ShowBorder", "FSize", "FBold", "FColor"};
    for (const char *key : integerKeys)
        (void)ini.readInteger("Settings", key, 801);
    for (const char *key : {"FName", "DisplayFile", "BackgroundImage"}) {
        const std::string value = ini.readString("Settings", key, "Arial");
        if (value.size() > scb::IniMaxString)
            std::abort();
    }

    // The input as one value under a known key: the integer read must match
    // parsing the stripped value, and a value that parses must never fall
    // back to the default.
    const std::size_t eol = text.find_first_of(std::string_view("\n\0", 2));
    const std::string_view value = text.substr(0, eol);
    const scb::IniFile single = scb::IniFile::parse("[settings]\r\nbcolor=" + std::string(value) + "\r\n");
    const std::string stored = single.readString("Settings", "BColor", "");
    const std::int32_t def = 8454143;
    const std::optional<std::int32_t> parsed = scb::parseIniInteger(stored);
    if (single.readInteger("SETTINGS", "bColor", def) != parsed.value_or(def))
        std::abort();
    return 0;
}
