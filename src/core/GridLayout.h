#pragma once
// Row and column sizes of the scoreboard grid. The grid fills the window; a
// border is a two-pixel sunken edge on every side taken from the cells' room,
// so with a border the cells' client area is four pixels narrower and shorter
// than the window while rows and column are still sized from the window.

namespace scb {

constexpr int GridBorderWidth = 2;

struct GridLayout
{
    int rowHeight = 0;   // every row
    int columnWidth = 0; // the only column
    int clientWidth = 0; // the cells' area inside the border
    int clientHeight = 0;
};

GridLayout gridLayout(int windowWidth, int windowHeight, bool border, int rowCount = 12);

} // namespace scb
