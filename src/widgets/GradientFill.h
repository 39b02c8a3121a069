#pragma once

#include <QColor>
#include <QPixmap>
#include <QSize>

#include <vector>

#include "core/Color.h"
#include "core/Gradient.h"

class QPainter;

// The window's top-to-bottom gradient background. A window keeps one of these
// and calls paint() from its paintEvent; transparent children then show the
// gradient through themselves, aligned to the window. The bands are drawn into
// a pixmap of the client size, rebuilt only when the size or the colours
// change, and copied in one step so the gradient is never seen half drawn.
class GradientFill
{
public:
    GradientFill(); // the control window's design: blue to dark blue, 236 bands
    GradientFill(scb::Color start, scb::Color end, int count);

    void setColors(scb::Color start, scb::Color end, int count);
    scb::Color startColor() const { return m_start; }
    scb::Color endColor() const { return m_end; }
    int count() const { return static_cast<int>(m_table.size()); }

    // Fills 0,0 .. clientSize on the painter's device.
    void paint(QPainter &painter, const QSize &clientSize);
    // The cached image for clientSize, rebuilt first when needed.
    const QPixmap &pixmap(const QSize &clientSize);

private:
    void rebuild(const QSize &clientSize);

    scb::Color m_start = scb::GradientStart;
    scb::Color m_end = scb::GradientEnd;
    std::vector<scb::Color> m_table;
    QPixmap m_pixmap;
    bool m_dirty = true;
};
