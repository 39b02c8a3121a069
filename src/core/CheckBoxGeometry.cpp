#include "core/CheckBoxGeometry.h"

#include <algorithm>

namespace scb {

CheckBoxGeometry checkBoxGeometry(int captionLineHeight, int captionTextWidth)
{
    CheckBoxGeometry g;
    const int pairHeight = std::max(CheckGlyphSize, captionLineHeight);
    g.glyph = {CheckGlyphLeft, (pairHeight - CheckGlyphSize) / 2, CheckGlyphSize, CheckGlyphSize};
    const int captionLeft = CheckGlyphLeft + CheckGlyphSize + CheckCaptionSpacing + 1;
    const int captionTop = (pairHeight - captionLineHeight) / 2 + 1;
    g.caption = {captionLeft, captionTop, captionTextWidth, captionLineHeight};
    g.focus = {captionLeft - 1, captionTop - 1, captionTextWidth + 2, captionLineHeight + 2};
    return g;
}

} // namespace scb
