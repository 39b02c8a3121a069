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

// Rows to set (null: leave the row as it is). Every row given is set, even to
// the text it already holds, so the grid repaints it. The rows are the
// preview's own shared lines (or fixed texts), so a runaway line is neither
// copied nor decoded once a second.
using RowUpdate = std::array<RowLinePtr, RowCount>;

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

// The worker's half of a successful load: the bytes become the preview's
// lines, with what the feed and the preview will ask of them found already,
// so that the interface thread only swaps them in. Does nothing to a snapshot
// without a successful read, or one already prepared.
void prepareText(FileSnapshot &snapshot);

// The state-changing half of the tick: records the snapshot's
// stamp and fingerprint when it read the file, takes its text into the preview
// (equal text: nothing happens; a snapshot not prepared yet is prepared here)
// or reports a failed read, then feeds the rows.
TickResult applySnapshot(DisplayState &state, FileSnapshot &&snapshot, PreviewLines &lines,
                         const TickEnvironment &env);

} // namespace scb
