#include "core/BoardLayout.h"

#include "core/SpinEditModel.h"

namespace scb {

BoardLayout boardLayout(const DisplayState &state, const std::array<std::string, 4> &rectTexts)
{
    BoardLayout layout;
    // Width and height are read first, as the window always has.
    layout.rect.width = readIntegerText(rectTexts[2]);
    layout.rect.height = readIntegerText(rectTexts[3]);
    layout.rect.top = readIntegerText(rectTexts[1]);
    layout.rect.left = readIntegerText(rectTexts[0]);
    layout.border = state.ShowBorder;
    layout.backColor = state.BackColor;
    layout.font = state.Font;
    return layout;
}

} // namespace scb
