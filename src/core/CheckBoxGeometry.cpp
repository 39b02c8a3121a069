#include "core/CheckBoxGeometry.h"

#include <algorithm>

namespace scb {

CheckBoxGeometry checkBoxGeometry(int captionLineHeight, int captionTextWidth)
{
    CheckBoxGeometry g;
    const int pairHeight = std::max(kCheckGlyphSize, captionLineHeight);
    g.glyph = {kCheckGlyphLeft, (pairHeight - kCheckGlyphSize) / 2, kCheckGlyphSize, kCheckGlyphSize};
    const int captionLeft = kCheckGlyphLeft + kCheckGlyphSize + kCheckCaptionSpacing + 1;
    const int captionTop = (pairHeight - captionLineHeight) / 2 + 1;
    g.caption = {captionLeft, captionTop, captionTextWidth, captionLineHeight};
    g.focus = {captionLeft - 1, captionTop - 1, captionTextWidth + 2, captionLineHeight + 2};
    return g;
}

} // namespace scb
