#pragma once
// The one record of the operator's settings and the session's run-time flags.
// Owned by the control window; the scoreboard window never reads it: it is
// given the values it shows.

#include <cstdint>
#include <string>

#include "core/Settings.h"

namespace scb {

struct MousePos
{
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const MousePos &) const = default;
};

struct DisplayState
{
    std::string SettingsDir;
    bool Starting = false;
    // The operator's choices: the board's rectangle as the four edits last
    // held a valid one, its look, and the display file last accepted.
    Settings Choices;
    bool BackgroundLoaded = false;
    MousePos LastMousePos;
};

} // namespace scb
