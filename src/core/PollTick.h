#pragma once
// The poll tick and the row feed as plain procedures. A tick is a look at the
// file (lookAtFile, free of state, may run on another thread) followed by
// applySnapshot(), which changes the state and the preview. The control
// window only applies the result to the widgets.

#include <array>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/Board.h"
#include "core/DisplayState.h"
#include "core/FileLook.h"
#include "core/PreviewLines.h"

namespace scb {

inline const std::string BlankFileMessage = "Main.Txt is blank. Turn on Main.txt generation";

// Rows to set (nullopt: leave the row as it is). Every engaged row is set,
// even to the text it already holds, so the grid repaints it. The rows view
// the preview's text (or fixed texts) rather than copy it, so a runaway line
// is not copied once a second: apply them before the text next changes.
using RowUpdate = std::array<std::optional<std::string_view>, RowCount>;

// Maps the preview's lines onto the rows: lines 0-11 when line 0 holds
// "TIME:", else lines 3-14; rows below blanked to " ". Fewer than three lines:
// row 0 gets the blank-file message and the preview gets it appended.
RowUpdate feedRows(PreviewLines &lines);

struct TickResult
{
    bool fileExists = false;           // false: the tick ended at step 2
    bool reloaded = false;             // the file was read (changed or not)
    std::optional<std::string> status; // Label1's new text after a failed load
    std::optional<std::string> statusReason; // and its tooltip: why the load failed
    RowUpdate rows;                    // only when the feed ran
};

struct TickEnvironment
{
    std::function<std::tm()> now;       // local time, for the failure report
    char timeSeparator = ':';
};

// The state-changing half of the tick: records the snapshot's
// stamp and fingerprint when it read the file, sets the preview's text (equal
// text: nothing happens) or reports a failed read, then feeds the rows.
TickResult applySnapshot(DisplayState &state, FileSnapshot &&snapshot, PreviewLines &lines,
                         const TickEnvironment &env);

} // namespace scb
