#include "core/Desktop.h"

#include <algorithm>
#include <cmath>

namespace scb {

namespace {

bool isSet(const char *value)
{
    return value != nullptr && *value != '\0';
}

// Half up, as the toolkit rounds, also left of a screen's origin.
int scaled(int value, double factor)
{
    return static_cast<int>(std::floor(value * factor + 0.5));
}

// The screen that the toolkit will place a rectangle on: by its centre first.
const DesktopScreen *screenFor(const Rect &r, const std::vector<DesktopScreen> &screens,
                               Rect (*area)(const DesktopScreen &))
{
    const int cx = r.x + r.width / 2;
    const int cy = r.y + r.height / 2;
    for (const DesktopScreen &s : screens)
        if (area(s).contains(cx, cy))
            return &s;
    for (const DesktopScreen &s : screens)
        if (area(s).contains(r.x, r.y))
            return &s;
    return screens.empty() ? nullptr : &screens.front();
}

} // namespace

bool wantsX11Layer(const char *qpaPlatform, const char *waylandDisplay, const char *display)
{
    return !isSet(qpaPlatform) && isSet(waylandDisplay) && isSet(display);
}

Rect DesktopScreen::desktop() const
{
    return {logical.x, logical.y, scaled(logical.width, scale), scaled(logical.height, scale)};
}

Rect desktopToWindow(const Rect &desktop, const std::vector<DesktopScreen> &screens)
{
    const DesktopScreen *s = screenFor(desktop, screens, [](const DesktopScreen &d) { return d.desktop(); });
    if (s == nullptr || s->scale <= 0)
        return desktop;
    const double f = 1.0 / s->scale;
    const int ox = s->logical.x;
    const int oy = s->logical.y;
    return {ox + scaled(desktop.x - ox, f), oy + scaled(desktop.y - oy, f), scaled(desktop.width, f),
            scaled(desktop.height, f)};
}

Rect windowToDesktop(const Rect &window, const std::vector<DesktopScreen> &screens)
{
    const DesktopScreen *s = screenFor(window, screens, [](const DesktopScreen &d) { return d.logical; });
    if (s == nullptr || s->scale <= 0)
        return window;
    const double f = s->scale;
    const int ox = s->logical.x;
    const int oy = s->logical.y;
    return {ox + scaled(window.x - ox, f), oy + scaled(window.y - oy, f), scaled(window.width, f),
            scaled(window.height, f)};
}

Point centredClientOrigin(const Rect &area, int clientWidth, int clientHeight, const FrameMargins &frame)
{
    const int frameWidth = frame.left + clientWidth + frame.right;
    const int frameHeight = frame.top + clientHeight + frame.bottom;
    const int frameX = std::max(area.x, area.x + (area.width - frameWidth) / 2);
    const int frameY = std::max(area.y, area.y + (area.height - frameHeight) / 2);
    return {frameX + frame.left, frameY + frame.top};
}

} // namespace scb
