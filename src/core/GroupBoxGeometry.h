#pragma once
// Where a group box draws its etched frame and caption, and where its children
// go. Inputs are the caption line height CH (the height of "W" in the caption
// font), the measured caption width and the box size. The frame starts at
// y = CH / 2 - 1 so that its top line runs through the caption's middle; the
// caption patch (caption rect widened 2 px to the left) is where the frame's
// top line is left out so it never shows through the caption.

#include <vector>

#include "core/Geometry.h"

namespace scb {

enum class EtchRole { Shadow, Highlight };

// One straight line of the etched frame; both end points are drawn.
struct EtchLine
{
    Point from;
    Point to;
    EtchRole role = EtchRole::Shadow;
    bool operator==(const EtchLine &) const = default;
};

constexpr int GroupBoxCaptionOffset = 8;
constexpr int GroupBoxPatchMargin = 2;
constexpr int GroupBoxFrameWidth = 2;

struct GroupBoxGeometry
{
    Rect frame;
    Rect caption;
    Rect captionPatch;
    Rect client;
    // Outer ring (shadow top/left, highlight bottom/right) then inner ring
    // (highlight top/left, shadow bottom/right), four lines each.
    std::vector<EtchLine> etch;
};

GroupBoxGeometry groupBoxGeometry(int captionHeight, int captionTextWidth, int width, int height);

} // namespace scb
