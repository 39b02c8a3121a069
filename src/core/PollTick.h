#pragma once
// The row feed: which of the preview's lines the board's rows show. A tick is
// a look at the file (lookAtFile, free of state, may run on another thread)
// followed by BoardModel::apply(), which keeps what the tick saw and runs
// this feed.

#include <array>
#include <string>

#include "core/Board.h"
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

// The worker's half of a successful load: the bytes become the preview's
// lines, with what the feed and the preview will ask of them found already,
// so that the interface thread only swaps them in. Does nothing to a snapshot
// without a successful read, or one already prepared.
void prepareText(FileSnapshot &snapshot);

} // namespace scb
