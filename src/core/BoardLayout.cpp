#include "core/BoardLayout.h"

#include "core/SpinEditModel.h"

namespace scb {

Rect readBoardRect(const std::array<std::string, 4> &rectTexts)
{
    Rect rect;
    // Width and height are read first, as the window always has.
    rect.width = readIntegerText(rectTexts[2]);
    rect.height = readIntegerText(rectTexts[3]);
    rect.y = readIntegerText(rectTexts[1]);
    rect.x = readIntegerText(rectTexts[0]);
    return rect;
}

} // namespace scb
