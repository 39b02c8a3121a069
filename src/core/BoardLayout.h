#pragma once
// Everything the scoreboard window shows besides its rows and picture: where
// it sits and how it looks, as one value taken from the operator's choices.

#include <array>
#include <string>

#include "core/Board.h"
#include "core/BoardLook.h"

namespace scb {

struct BoardLayout
{
    Rect rect = DefaultBoardRect;
    BoardLook look;
    bool operator==(const BoardLayout &) const = default;
};

// The rectangle the four edits' texts hold, in the order Left, Top, Width,
// Height. Width and height are read first, and the first text that is no
// integer throws scb::Error ("'<text>' is not a valid integer value"), so a
// bad text stops the step before anything changes.
Rect readBoardRect(const std::array<std::string, 4> &rectTexts);

} // namespace scb
