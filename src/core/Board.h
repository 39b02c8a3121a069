#pragma once
// The board's shape, shared by the model, the layout, the settings file and
// every view: twelve rows in a rectangle placed on the desktop.

#include "core/Geometry.h"

namespace scb {

constexpr int RowCount = 12;

// The board's rectangle in desktop pixels, as the desktop's own tools show
// monitors, also on a scaled desktop. The default lies just right of an
// 800-pixel primary screen.
inline constexpr Rect DefaultBoardRect{801, 0, 800, 600};

} // namespace scb
