#pragma once
// Where the program's windows meet the desktop: which windowing layer it asks
// for, how the operator's desktop pixels map to the toolkit's window units, and
// where a window goes to be centred as a whole.
//
// The operator reads monitor rectangles off the desktop (xrandr shows them in
// desktop pixels) and types them into the board's rectangle, so the rectangle
// is in desktop pixels on a scaled desktop too. The toolkit places windows in
// device-independent units: each screen keeps its top-left where the desktop
// has it and its size is divided by the screen's scale. A window unit is
// whole, so on a scaled desktop a window reaches only some desktop pixels:
// whole multiples of the scale from its screen's top-left, rounded half up
// (at scale 2 the even ones, at 1.5 two in three).

#include "core/GroupBoxGeometry.h"

#include <vector>

namespace scb {

// True when the program should ask for the X11 layer itself: a Wayland session
// lets no program place its own windows, and the board must sit where the
// operator put it; XWayland can. An explicit QT_QPA_PLATFORM is never
// overridden. Arguments are the environment values, nullptr when unset; an
// empty value counts as unset.
bool wantsX11Layer(const char *qpaPlatform, const char *waylandDisplay, const char *display);

// A screen as the toolkit reports it.
struct DesktopScreen
{
    Rect logical;       // in window units; its top-left is also its desktop position
    double scale = 1.0; // desktop pixels per window unit
    Rect desktop() const;
};

// The rectangle in window units that comes nearest the desktop rectangle. The
// screen that holds the rectangle's centre sets the scale (the toolkit picks a
// window's screen the same way), else the one holding its top-left, else the
// first. No screens: unchanged.
Rect desktopToWindow(const Rect &desktop, const std::vector<DesktopScreen> &screens);
// The way back, as the toolkit maps a window to desktop pixels: applied to
// desktopToWindow's answer, where a desktop rectangle really lands.
Rect windowToDesktop(const Rect &window, const std::vector<DesktopScreen> &screens);

struct FrameMargins
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// Top-left of a window's client area such that the whole window, frame
// included, is centred in area. A window larger than area keeps its frame's
// top-left inside it, so the title bar stays within reach.
Point centredClientOrigin(const Rect &area, int clientWidth, int clientHeight, const FrameMargins &frame);

} // namespace scb
