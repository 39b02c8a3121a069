#pragma once
// Placement inside a check box: the 13 x 13 glyph at x = 1, the caption 4 px to
// its right, the shorter of glyph and caption line centred on the taller. The
// caption sits one pixel right of and below its place in that pair, which puts
// its left edge at 19; the focus rectangle lies one pixel outside the caption.

#include "core/Geometry.h"

namespace scb {

constexpr int CheckGlyphSize = 13;
constexpr int CheckGlyphLeft = 1;
constexpr int CheckCaptionSpacing = 4;

struct CheckBoxGeometry
{
    Rect glyph;
    Rect caption;
    Rect focus;
};

CheckBoxGeometry checkBoxGeometry(int captionLineHeight, int captionTextWidth);

} // namespace scb
