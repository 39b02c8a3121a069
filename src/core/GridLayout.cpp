#include "core/GridLayout.h"

#include <algorithm>

namespace scb {

GridLayout gridLayout(int windowWidth, int windowHeight, bool border, int rowCount)
{
    GridLayout g;
    const int inset = border ? 2 * GridBorderWidth : 0;
    g.clientWidth = std::max(0, windowWidth - inset);
    g.clientHeight = std::max(0, windowHeight - inset);
    g.columnWidth = std::max(0, windowWidth);
    g.rowHeight = rowCount > 0 ? std::max(0, windowHeight) / rowCount : 0;
    return g;
}

} // namespace scb
