#pragma once
// The display file is 8-bit text of unknown encoding. For display it is read
// as UTF-8 when the bytes are valid UTF-8 and as Windows-1252 otherwise, so a
// row never goes blank because of one stray byte. The stored text stays the
// file's bytes; only the operator's edits are encoded back.

#include <string>
#include <string_view>

namespace scb {

bool isValidUtf8(std::string_view bytes);

// Windows-1252 bytes to UTF-8. The five unassigned codes map to U+FFFD.
std::string windows1252ToUtf8(std::string_view bytes);

// UTF-8 to Windows-1252; characters it cannot hold become '?'.
std::string utf8ToWindows1252(std::string_view utf8);

// Display form of 8-bit text: the bytes themselves when valid UTF-8.
std::string displayUtf8(std::string_view bytes);

// File names are bytes; a text field holds UTF-16. Valid UTF-8 decodes as
// such; every other byte b becomes the lone surrogate U+DC00 + b, which no
// real text holds, so the way back gives exactly the original bytes.
std::u16string pathBytesToUtf16(std::string_view bytes);
std::string utf16ToPathBytes(std::u16string_view text);

} // namespace scb
