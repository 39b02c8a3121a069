#pragma once
// The display file is 8-bit text of unknown encoding, and writers mix them:
// one program's headings in UTF-8, another's names in Windows-1252. Each line
// is therefore read on its own, as UTF-8 when its bytes are valid UTF-8 and as
// Windows-1252 otherwise, so a row never goes blank because of one stray byte
// and one line's bytes never change how another reads. The preview and the
// board both read lines this way and so always show the same text. The stored
// text stays the file's bytes; only the operator's edits are encoded back.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace scb {

bool isValidUtf8(std::string_view bytes);

// Windows-1252 bytes to UTF-8. The five unassigned codes map to U+FFFD.
std::string windows1252ToUtf8(std::string_view bytes);

// UTF-8 to Windows-1252; characters it cannot hold become '?'.
std::string utf8ToWindows1252(std::string_view utf8);

enum class LineCodec { Utf8, Windows1252 };

// How one line reads: decided on all of its bytes.
LineCodec lineCodec(std::string_view line);

// The line as UTF-8 text: its bytes themselves when they are valid UTF-8.
std::string decodeLine(std::string_view line);

// The most characters a row keeps for drawing. The widest board is 9999 px,
// and a glyph narrower than two pixels (one of ink, one of gap to the next)
// no longer reads as a letter, so no row can show more than about 5000
// characters. Laying out more costs the interface time and shows nothing.
inline constexpr std::size_t MaxRowChars = 5000;

// Byte length of the longest head of the line that holds at most maxChars
// characters and at most maxBytes bytes of the codec: it ends on a character
// boundary, never inside a UTF-8 sequence (whose characters all lie in the
// Basic Multilingual Plane or beyond it as whole code points, so no UTF-16
// surrogate pair is split either).
std::size_t lineCutPoint(std::string_view line, LineCodec codec, std::size_t maxChars,
                         std::size_t maxBytes = std::string_view::npos);

// What a row shows of a line: decoded as above and cut after MaxRowChars
// characters. The board, the preview and any other view of the rows use it.
std::string rowText(std::string_view line);
// The same for a line whose codec is known already.
std::string rowText(std::string_view line, LineCodec codec);

// An edited line's text back to bytes: in the preferred codec when that holds
// every character and the bytes read back as the same text, else in UTF-8,
// which always does. Either way the line shows exactly what was typed.
std::string encodeLine(std::string_view utf8, LineCodec preferred);

// The bytes of an edited text's lines. `stored` holds the lines' bytes before
// the edit and `shown` what the editor showed for them (one entry each);
// `edited` is what the editor shows now. Lines the edit left alone, at the
// start and at the end, keep their stored bytes exactly. Each changed line is
// encoded like the line that stood in its place (or, past those, like the
// last of them, else the line above it).
std::vector<std::string> encodeEditedLines(const std::vector<std::string> &stored,
                                           const std::vector<std::string> &shown,
                                           const std::vector<std::string> &edited);

// File names are bytes; a text field holds UTF-16. Valid UTF-8 decodes as
// such; every other byte b becomes the lone surrogate U+DC00 + b, which no
// real text holds, so the way back gives exactly the original bytes.
std::u16string pathBytesToUtf16(std::string_view bytes);
std::string utf16ToPathBytes(std::u16string_view text);

} // namespace scb
