#pragma once
// What a view of the board shows, as a plain value: the rows as the board
// holds them, each decoded once when it was made, the look it draws them with, the picture behind
// them and whether the board is open. Views outside the windows (the web
// page) follow the board through this value and never reach into a window;
// two equal values look the same.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/Board.h"
#include "core/Color.h"
#include "core/PreviewLines.h"

namespace scb {


struct BoardStyle
{
    std::string fontFamily;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    // Both in board pixels: a view of another size keeps their ratio.
    int fontPixelSize = 0;
    int rowHeight = 0;
    Color textColor = 0;
    Color backColor = 0;
    bool border = false;
    bool operator==(const BoardStyle &) const = default;
};

struct BoardPicture
{
    bool loaded = false; // drawn behind the rows
    int width = 0;
    int height = 0;
    // Tells one picture's pixels from another's (the toolkit's image key);
    // the publication turns it into a small version number.
    std::int64_t identity = 0;
    bool operator==(const BoardPicture &) const = default;
};

struct BoardView
{
    // The lines the board's rows show, shared with the model and the grid;
    // null for a row never set.
    std::array<RowLinePtr, RowCount> rows;
    BoardStyle style;
    BoardPicture picture;
    bool shown = false;

    // What row r shows, UTF-8; empty for a row never set.
    const std::string &rowText(int r) const;
    // Rows compare by what they show, not by which shared line holds it.
    bool operator==(const BoardView &other) const;
};

// The latest view with a version that counts its changes, and its JSON form,
// encoded once per change for every reader.
class BoardPublication
{
public:
    BoardPublication();

    // False (and nothing counted) when the view shows nothing new.
    bool update(const BoardView &view);

    std::uint64_t version() const { return m_version; }
    std::uint64_t pictureVersion() const { return m_pictureVersion; }
    const std::string &json() const { return m_json; }

private:
    BoardView m_view;
    std::uint64_t m_version = 0;
    std::uint64_t m_pictureVersion = 0;
    std::string m_json;
};

// {"version":..,"shown":..,"rows":[a string per row],"style":{..},"picture":{..}}
std::string boardJson(const BoardView &view, std::uint64_t version, std::uint64_t pictureVersion);

// A JSON string literal, quotes included. Bytes that are not UTF-8 are read
// as Windows-1252, as the board reads them, so the output is always valid.
std::string jsonString(std::string_view text);

// "#rrggbb"
std::string colorHex(Color c);

} // namespace scb
