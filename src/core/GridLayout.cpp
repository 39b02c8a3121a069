#include "core/GridLayout.h"

#include <algorithm>

namespace scb {

GridLayout gridLayout(int windowWidth, int windowHeight, int rowCount)
{
    GridLayout g;
    g.columnWidth = std::max(0, windowWidth);
    g.rowHeight = rowCount > 0 ? std::max(0, windowHeight) / rowCount : 0;
    return g;
}

} // namespace scb
