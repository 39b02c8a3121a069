#pragma once
// Colours as the settings file keeps them.

#include <cstdint>

namespace scb {

// 0x00BBGGRR: red in the low byte, stored in files as a signed decimal.
using Color = std::int32_t;

constexpr int colorRed(Color c) { return c & 0xFF; }
constexpr int colorGreen(Color c) { return (c >> 8) & 0xFF; }
constexpr int colorBlue(Color c) { return (c >> 16) & 0xFF; }
constexpr Color makeColor(int r, int g, int b)
{
    return static_cast<Color>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

} // namespace scb
