#pragma once
// The three-dimensional rocker switch: a flat half lying in the screen plane
// and a half that recedes from the viewer, seen with its top and side faces.
// For a W x H switch the body is B = H - slope - 1 high and each half is
// h = (W - 1) / 2 wide around the centre c = h. The receding half is on the
// side that a press would switch to; it is always drawn in the unchecked
// colour, the flat half in the colour of the current state.
//
// pressFlips() splits the switch at the middle of its width (x < W / 2 is the
// left half): a press on the half of the other state flips it, a press on the
// half of the current state does nothing.

#include <array>
#include <vector>

#include "core/Geometry.h"

namespace scb {

constexpr int RockerSlope = 6;
constexpr int RockerSideLength = 6;

enum class RockerFaceKind { Top, Side, Receding, Flat };
enum class RockerColorRole { Top, Side, Checked, Unchecked };

struct RockerFace
{
    RockerFaceKind kind = RockerFaceKind::Top;
    RockerColorRole color = RockerColorRole::Top;
    std::vector<Point> points;
};

struct RockerGeometry
{
    int bodyHeight = 0; // B
    std::array<RockerFace, 4> faces; // in drawing order: top, side, receding, flat
    Rect caption; // x from a + 1 to a + |t| (exclusive), y from 0 to B
};

RockerGeometry rockerGeometry(int width, int height, bool checked, bool checkedLeft,
                              int slope = RockerSlope, int sideLength = RockerSideLength);

bool pressFlips(int x, bool checked, bool checkedLeft, int width);

} // namespace scb
