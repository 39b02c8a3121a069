#pragma once
// The one record of settings and run-time flags that both windows share.
// Owned by the control window; the scoreboard window reads it when painting
// and when it lays itself out.

#include <cstdint>
#include <string>

#include "core/Color.h"
#include "core/FileStamp.h"

namespace scb {

struct ScoreFont
{
    std::string family = "Arial";
    int size = 18; // points
    bool bold = true;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    Color color = 255;

    // Only a style of exactly bold survives a restart.
    bool isExactlyBold() const { return bold && !italic && !underline && !strikeOut; }
    bool operator==(const ScoreFont &) const = default;
};

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
    std::int32_t LastFileAge = 0;
    // Beside the two-second stamp: catches rewrites the stamp cannot tell apart.
    FileFingerprint LastFingerprint;
    std::int32_t FailureCount = 0;
    bool ShowBorder = true;
    Color BackColor = 8454143; // 0x0080FFFF, pale yellow
    ScoreFont Font;
    std::string BackgroundImagePath;
    bool BackgroundLoaded = false;
    MousePos LastMousePos;
};

} // namespace scb
