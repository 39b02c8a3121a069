#include "core/IniFile.h"

#include <algorithm>

#include "core/platform/FileRead.h"

namespace scb {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trimmed(std::string_view s)
{
    std::size_t begin = 0;
    while (begin < s.size() && isBlank(s[begin]))
        ++begin;
    std::size_t end = s.size();
    while (end > begin && isBlank(s[end - 1]))
        --end;
    return s.substr(begin, end - begin);
}

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

std::string_view withoutQuotes(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::int32_t> parseHex(std::string_view digits)
{
    if (digits.empty() || digits.size() > 8)
        return std::nullopt;
    std::uint32_t value = 0;
    for (char c : digits) {
        const int d = hexDigit(c);
        if (d < 0)
            return std::nullopt;
        value = (value << 4) | static_cast<std::uint32_t>(d);
    }
    return static_cast<std::int32_t>(value);
}

} // namespace

std::optional<std::int32_t> parseIniInteger(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    const std::string_view rest = text.substr(i);
    if (rest.empty())
        return std::nullopt;

    if (rest.front() == '$' || rest.front() == 'x' || rest.front() == 'X')
        return parseHex(rest.substr(1));
    if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X'))
        return parseHex(rest.substr(2));

    std::size_t pos = 0;
    bool negative = false;
    if (rest[0] == '+' || rest[0] == '-') {
        negative = rest[0] == '-';
        pos = 1;
    }
    if (pos == rest.size())
        return std::nullopt;
    // Accumulate towards the sign so that INT32_MIN needs no special case.
    const std::int64_t limit = negative ? -std::int64_t{INT32_MIN} : std::int64_t{INT32_MAX};
    std::int64_t magnitude = 0;
    for (; pos < rest.size(); ++pos) {
        const char c = rest[pos];
        if (c < '0' || c > '9')
            return std::nullopt;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > limit)
            return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

IniFile IniFile::load(const std::string &path)
{
    // Non-blocking, so that a FIFO or device named by mistake cannot hang
    // start-up; a file that cannot be read whole reads as an empty one.
    return IniFile(readWholeFile(path, IniMaxFileSize, OverLimit::Cut).bytes);
}

IniFile IniFile::parse(std::string_view text)
{
    if (text.size() > IniMaxFileSize)
        text = text.substr(0, IniMaxFileSize);
    return IniFile(std::string(text));
}

std::optional<std::string_view> IniFile::find(std::string_view section, std::string_view key) const
{
    std::string_view text(m_text);
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);

    // A CR LF pair ends its line at the CR and leaves an empty one behind.
    // The next CR and the next LF are each searched for only once passed, so
    // the scan stays linear (and memchr-fast) whichever of them is missing.
    std::size_t nextCr = text.find('\r');
    std::size_t nextLf = text.find('\n');
    std::size_t at = 0;
    bool inSection = false;
    while (at < text.size()) {
        if (nextCr < at)
            nextCr = text.find('\r', at);
        if (nextLf < at)
            nextLf = text.find('\n', at);
        const std::size_t eol = std::min(std::min(nextCr, nextLf), text.size());
        std::string_view line = text.substr(at, eol - at);
        at = eol + 1;

        const std::size_t nul = line.find('\0');
        if (nul != std::string_view::npos)
            line = line.substr(0, nul);
        line = trimmed(line);
        if (line.empty())
            continue;

        // A header with no closing bracket opens no section: the line is read
        // as any other, and without an "=" it is skipped.
        if (const std::size_t close = line.find(']'); line.front() == '[' && close != std::string_view::npos) {
            inSection = equalsIgnoringCase(trimmed(line.substr(1, close - 1)), section);
            continue;
        }
        if (!inSection)
            continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        if (equalsIgnoringCase(trimmed(line.substr(0, eq)), key))
            return withoutQuotes(trimmed(line.substr(eq + 1)));
    }
    return std::nullopt;
}

std::int32_t IniFile::readInteger(std::string_view section, std::string_view key, std::int32_t def) const
{
    const std::optional<std::string_view> value = find(section, key);
    if (!value)
        return def;
    return parseIniInteger(*value).value_or(def);
}

std::string IniFile::readString(std::string_view section, std::string_view key, std::string_view def) const
{
    const std::string_view value = find(section, key).value_or(def);
    return std::string(value.substr(0, IniMaxString));
}

} // namespace scb
