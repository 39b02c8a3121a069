#pragma once
// How the board looks, as one value: its font, its colours, its border and
// the picture behind its rows. The settings file keeps it, the control
// window's commands change it, and the board window, the layout and every
// view of the board take it as it is.

#include <algorithm>
#include <string>

#include "core/Color.h"

namespace scb {

// Sizes, in points, that the board is drawn at. The drawing toolkit lays
// glyphs out soundly only while their ascent stays under 16384 device pixels:
// past that (about 13500 points at 96 dpi for the default face) the metrics
// wrap and nothing is drawn, and past 65535 pixels no face is found and empty
// boxes are drawn. 2000 points is 2667 px at 96 dpi, three times the tallest
// row of the tallest board (9999 / 12 px), and stays sound on a screen of four
// device pixels to the pixel even for a face whose ascent is 1.5 times its size.
inline constexpr int MinDrawnPointSize = 1;
inline constexpr int MaxDrawnPointSize = 2000;

struct ScoreFont
{
    std::string family = "Arial";
    int size = 18; // points, as stored; drawn at drawnSize()
    bool bold = true;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    Color color = 255;

    // The stored size is kept as it came (a settings file is never changed
    // behind the operator's back); only drawing is held to the sound range.
    int drawnSize() const { return std::clamp(size, MinDrawnPointSize, MaxDrawnPointSize); }

    // Only a style of exactly bold survives a restart.
    bool isExactlyBold() const { return bold && !italic && !underline && !strikeOut; }
    bool operator==(const ScoreFont &) const = default;
};

struct BoardLook
{
    bool ShowBorder = true;
    Color BackColor = 8454143; // 0x0080FFFF, pale yellow
    ScoreFont Font;            // "Arial", 18 points, bold, red
    std::string BackgroundImagePath; // empty for none
    bool operator==(const BoardLook &) const = default;
};

} // namespace scb
