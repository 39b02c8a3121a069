#pragma once
// The plain geometry types of the core: pixel positions and rectangles in a
// control's own coordinates, shared by the control-drawing units (group box,
// rocker switch, check box, spin edit).

namespace scb {

struct Point
{
    int x = 0;
    int y = 0;
    bool operator==(const Point &) const = default;
};

// left, top, width, height: the same convention as the window layout tables.
struct Rect
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int right() const { return x + width; }   // exclusive
    int bottom() const { return y + height; } // exclusive
    bool contains(int px, int py) const { return px >= x && px < right() && py >= y && py < bottom(); }
    bool operator==(const Rect &) const = default;
};

} // namespace scb
