#include "core/RockerGeometry.h"

#include <cstdlib>

namespace scb {

RockerGeometry rockerGeometry(int width, int height, bool checked, bool checkedLeft, int slope, int sideLength)
{
    RockerGeometry g;
    const int b = height - slope - 1;
    const int half = (width - 1) / 2;
    const int c = half;
    // The receding half lies to the right (positive t) when the state and the
    // checked side agree, so the other state's half is the one that sinks.
    const bool sameSide = checked == checkedLeft;
    const int t = sameSide ? half : -half;
    const int s = sameSide ? sideLength : -sideLength;

    g.bodyHeight = b;
    g.faces[0] = {RockerFaceKind::Top, RockerColorRole::Top, {{c, 0}, {c + t - s, slope}, {c + t, 0}}};
    g.faces[1] = {RockerFaceKind::Side,
                  RockerColorRole::Side,
                  {{c + t - s, slope}, {c + t, 0}, {c + t, b}, {c + t - s, slope + b}}};
    g.faces[2] = {RockerFaceKind::Receding,
                  RockerColorRole::Unchecked,
                  {{c, 0}, {c + t - s, slope}, {c + t - s, slope + b}, {c, b}}};
    g.faces[3] = {RockerFaceKind::Flat,
                  checked ? RockerColorRole::Checked : RockerColorRole::Unchecked,
                  {{c - t, 0}, {c, 0}, {c, b}, {c - t, b}}};

    const int a = t > 0 ? 0 : c;
    g.caption = {a + 1, 0, std::abs(t) - 1, b};
    return g;
}

bool pressFlips(int x, bool checked, bool checkedLeft, int width)
{
    const bool onLeft = x < width / 2;
    const bool pressedSideIsChecked = onLeft == checkedLeft;
    return pressedSideIsChecked != checked;
}

} // namespace scb
