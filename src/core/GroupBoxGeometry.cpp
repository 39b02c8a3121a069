#include "core/GroupBoxGeometry.h"

#include <algorithm>

namespace scb {

namespace {

// Lines of one ring around r; the top/left pair stops one short of the far
// corners, which belong to the bottom/right pair.
void addRing(std::vector<EtchLine> &out, const Rect &r, EtchRole topLeft, EtchRole bottomRight)
{
    if (r.width <= 0 || r.height <= 0)
        return;
    const int l = r.x, t = r.y, rr = r.right() - 1, b = r.bottom() - 1;
    out.push_back({{l, t}, {std::max(l, rr - 1), t}, topLeft});
    out.push_back({{l, t}, {l, std::max(t, b - 1)}, topLeft});
    out.push_back({{l, b}, {rr, b}, bottomRight});
    out.push_back({{rr, t}, {rr, b}, bottomRight});
}

} // namespace

GroupBoxGeometry groupBoxGeometry(int captionHeight, int captionTextWidth, int width, int height)
{
    GroupBoxGeometry g;
    const int frameTop = captionHeight / 2 - 1;
    g.frame = {0, frameTop, width, height - frameTop};
    g.caption = {GroupBoxCaptionOffset, 0, captionTextWidth, captionHeight};
    g.captionPatch = {GroupBoxCaptionOffset - GroupBoxPatchMargin, 0,
                      captionTextWidth + GroupBoxPatchMargin, captionHeight};
    g.client = {GroupBoxFrameWidth, GroupBoxFrameWidth + captionHeight,
                std::max(0, width - 2 * GroupBoxFrameWidth),
                std::max(0, height - 2 * GroupBoxFrameWidth - captionHeight)};
    addRing(g.etch, g.frame, EtchRole::Shadow, EtchRole::Highlight);
    const Rect inner{g.frame.x + 1, g.frame.y + 1, g.frame.width - 2, g.frame.height - 2};
    addRing(g.etch, inner, EtchRole::Highlight, EtchRole::Shadow);
    return g;
}

} // namespace scb
