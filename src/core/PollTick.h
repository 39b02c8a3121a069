#pragma once
// The poll tick and the row feed as plain procedures. The control window's
// Timer1Timer runs pollTick() and only applies its result to the widgets.

#include <array>
#include <ctime>
#include <functional>
#include <optional>
#include <string>

#include "core/DisplayState.h"
#include "core/PreviewLines.h"

namespace scb {

constexpr int ScoreRows = 12;
inline const std::string BlankFileMessage = "Main.Txt is blank. Turn on Main.txt generation";

// Rows to set (nullopt: leave the row as it is). Every engaged row is set,
// even to the text it already holds, so the grid repaints it.
using RowUpdate = std::array<std::optional<std::string>, ScoreRows>;

// Copies the preview's lines onto the rows: lines 0-11 when line 0 holds
// "TIME:", else lines 3-14; rows below blanked to " ". Fewer than three lines:
// row 0 gets the blank-file message and the preview gets it appended.
RowUpdate feedRows(PreviewLines &lines);

struct TickResult
{
    bool applyLayout = false;          // first tick after start-up
    bool fileExists = false;           // false: the tick ended at step 2
    bool reloaded = false;             // the file was read (changed or not)
    std::optional<std::string> status; // Label1's new text after a failed load
    RowUpdate rows;                    // only when the feed ran
};

struct TickEnvironment
{
    std::function<std::tm()> now;       // local time, for the failure report
    char timeSeparator = ':';
};

TickResult pollTick(DisplayState &state, const std::string &path, PreviewLines &lines,
                    const TickEnvironment &env);

} // namespace scb
