#pragma once
// Everything the scoreboard window shows besides its rows and picture: where
// it sits, its border, colours and font, as one value. The control window's
// four rectangle texts are read first, so a text that is no integer stops
// the whole step before anything changes.

#include <array>
#include <string>

#include "core/Board.h"
#include "core/DisplayState.h"

namespace scb {

struct BoardLayout
{
    ScoreboardRect rect;
    bool border = true;
    Color backColor = 0;
    ScoreFont font;
    bool operator==(const BoardLayout &) const = default;
};

// rectTexts in the order Left, Top, Width, Height; throws scb::Error
// ("'<text>' is not a valid integer value") for the first that is no integer.
BoardLayout boardLayout(const DisplayState &state, const std::array<std::string, 4> &rectTexts);

} // namespace scb
