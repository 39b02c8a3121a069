#include "core/TextCodec.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace scb {

namespace {

// 0x80..0x9F of Windows-1252; 0 marks the five unassigned codes.
constexpr std::array<char32_t, 32> HighControls = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};

void appendUtf8(std::string &out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 sequence at i; returns its length, 0 when malformed
// (overlong forms, surrogates and values past U+10FFFF included).
std::size_t decodeUtf8(std::string_view s, std::size_t i, char32_t &cp)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    std::size_t len = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > s.size())
        return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

// Windows-1252 has no byte for most code points; those become '?'.
void appendWindows1252(std::string &out, char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
        out += static_cast<char>(cp);
        return;
    }
    char mapped = '?';
    for (std::size_t k = 0; k < HighControls.size(); ++k) {
        if (HighControls[k] == cp) {
            mapped = static_cast<char>(0x80 + k);
            break;
        }
    }
    out += mapped;
}

void appendUtf16(std::u16string &out, char32_t cp)
{
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<char16_t>(cp);
    }
}

// Re-encodes the code points of s. A byte that starts no well-formed sequence
// goes to onStray on its own, so each caller decides what stands in for it.
template <typename Out, typename OnPoint, typename OnStray>
Out transcodeUtf8(std::string_view s, OnPoint onPoint, OnStray onStray)
{
    Out out;
    out.reserve(s.size());
    char32_t cp = 0;
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t len = decodeUtf8(s, i, cp);
        if (len == 0) {
            onStray(out, static_cast<unsigned char>(s[i]));
            ++i;
        } else {
            onPoint(out, cp);
            i += len;
        }
    }
    return out;
}

} // namespace

bool isValidUtf8(std::string_view bytes)
{
    char32_t cp = 0;
    for (std::size_t i = 0; i < bytes.size();) {
        // Runs of ASCII are skipped eight bytes at a time: a runaway line of
        // megabytes is mostly plain letters and is checked in milliseconds.
        while (i + 8 <= bytes.size()) {
            std::uint64_t word = 0;
            std::memcpy(&word, bytes.data() + i, sizeof word);
            if (word & 0x8080808080808080u)
                break;
            i += 8;
        }
        if (i >= bytes.size())
            break;
        const std::size_t len = decodeUtf8(bytes, i, cp);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

std::string windows1252ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x80) {
            out += ch;
        } else if (b < 0xA0) {
            const char32_t cp = HighControls[b - 0x80];
            appendUtf8(out, cp ? cp : 0xFFFD);
        } else {
            appendUtf8(out, b);
        }
    }
    return out;
}

std::string utf8ToWindows1252(std::string_view utf8)
{
    return transcodeUtf8<std::string>(utf8, appendWindows1252, [](std::string &out, unsigned char) { out += '?'; });
}

LineCodec lineCodec(std::string_view line)
{
    return isValidUtf8(line) ? LineCodec::Utf8 : LineCodec::Windows1252;
}

std::string decodeLine(std::string_view line)
{
    if (lineCodec(line) == LineCodec::Utf8)
        return std::string(line);
    return windows1252ToUtf8(line);
}

std::size_t lineCutPoint(std::string_view line, LineCodec codec, std::size_t maxChars, std::size_t maxBytes)
{
    const std::size_t limit = std::min(line.size(), maxBytes);
    if (codec == LineCodec::Windows1252)
        return std::min(limit, maxChars);
    // Valid UTF-8: a character starts at every byte that is no continuation.
    std::size_t chars = 0;
    std::size_t i = 0;
    while (i < line.size()) {
        std::size_t next = i + 1;
        while (next < line.size() && (static_cast<unsigned char>(line[next]) & 0xC0) == 0x80)
            ++next;
        if (chars == maxChars || next > limit)
            break;
        ++chars;
        i = next;
    }
    return i;
}

std::string rowText(std::string_view line)
{
    return rowText(line, lineCodec(line));
}

std::string rowText(std::string_view line, LineCodec codec)
{
    const std::string_view head = line.substr(0, lineCutPoint(line, codec, MaxRowChars));
    return codec == LineCodec::Utf8 ? std::string(head) : windows1252ToUtf8(head);
}

std::string encodeLine(std::string_view utf8, LineCodec preferred)
{
    if (preferred == LineCodec::Windows1252) {
        std::string bytes = utf8ToWindows1252(utf8);
        // A character 1252 lacks became '?', or the bytes happen to form
        // UTF-8 ("Ã¼" gives C3 BC, which reads as "ü"): neither shows the text.
        if (decodeLine(bytes) == utf8)
            return bytes;
    }
    return std::string(utf8);
}

std::vector<std::string> encodeEditedLines(const std::vector<std::string> &stored,
                                           const std::vector<std::string> &shown,
                                           const std::vector<std::string> &edited)
{
    // Without a shown form for every stored line nothing can be matched.
    const std::size_t before = stored.size() == shown.size() ? stored.size() : 0;
    std::size_t head = 0;
    while (head < before && head < edited.size() && edited[head] == shown[head])
        ++head;
    std::size_t tail = 0;
    while (tail < before - head && tail < edited.size() - head
           && edited[edited.size() - 1 - tail] == shown[before - 1 - tail])
        ++tail;

    std::vector<std::string> out;
    out.reserve(edited.size());
    for (std::size_t i = 0; i < head; ++i)
        out.push_back(stored[i]);
    const std::size_t replacedEnd = before - tail; // stored lines head..replacedEnd were edited
    for (std::size_t i = head; i < edited.size() - tail; ++i) {
        LineCodec codec = LineCodec::Utf8;
        if (i < replacedEnd)
            codec = lineCodec(stored[i]);
        else if (replacedEnd > head)
            codec = lineCodec(stored[replacedEnd - 1]);
        else if (head > 0)
            codec = lineCodec(stored[head - 1]);
        out.push_back(encodeLine(edited[i], codec));
    }
    for (std::size_t i = replacedEnd; i < before; ++i)
        out.push_back(stored[i]);
    return out;
}

std::u16string pathBytesToUtf16(std::string_view bytes)
{
    // A stray byte becomes a lone low surrogate, which utf16ToPathBytes turns back into it.
    return transcodeUtf8<std::u16string>(bytes, appendUtf16, [](std::u16string &out, unsigned char b) {
        out += static_cast<char16_t>(0xDC00 + b);
    });
}

std::string utf16ToPathBytes(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00));
            ++i;
        } else if (u >= 0xDC80 && u <= 0xDCFF) {
            out += static_cast<char>(u - 0xDC00); // an escaped byte
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            appendUtf8(out, 0xFFFD); // a stray surrogate no byte stands for
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

} // namespace scb
