#pragma once
// Row and column sizes of the scoreboard grid. The grid fills the window; a
// border is a two-pixel sunken edge on every side taken from the cells' room,
// yet rows and column are sized from the whole window, border or not.

#include "core/Board.h"

namespace scb {

constexpr int GridBorderWidth = 2;

struct GridLayout
{
    int rowHeight = 0;   // every row
    int columnWidth = 0; // the only column
};

GridLayout gridLayout(int windowWidth, int windowHeight, int rowCount = RowCount);

} // namespace scb
