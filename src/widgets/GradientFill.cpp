#include "widgets/GradientFill.h"
#include "adapters/QtConvert.h"

#include <QPainter>

GradientFill::GradientFill() : GradientFill(scb::GradientStart, scb::GradientEnd, scb::GradientMaxCount) {}

GradientFill::GradientFill(scb::Color start, scb::Color end, int count)
    : m_start(start), m_end(end), m_table(scb::gradientTable(start, end, count))
{
}

void GradientFill::setColors(scb::Color start, scb::Color end, int count)
{
    auto table = scb::gradientTable(start, end, count);
    if (start == m_start && end == m_end && table == m_table)
        return;
    m_start = start;
    m_end = end;
    m_table = std::move(table);
    m_dirty = true;
}

void GradientFill::paint(QPainter &painter, const QSize &clientSize)
{
    if (clientSize.isEmpty())
        return;
    painter.drawPixmap(0, 0, pixmap(clientSize));
}

const QPixmap &GradientFill::pixmap(const QSize &clientSize)
{
    if (m_dirty || m_pixmap.size() != clientSize)
        rebuild(clientSize);
    return m_pixmap;
}

void GradientFill::rebuild(const QSize &clientSize)
{
    m_dirty = false;
    if (clientSize.isEmpty()) {
        m_pixmap = QPixmap();
        return;
    }
    m_pixmap = QPixmap(clientSize);
    QPainter painter(&m_pixmap);
    for (const auto &band : scb::gradientBands(m_table, clientSize.height())) {
        if (band.bottom > band.top)
            painter.fillRect(0, band.top, clientSize.width(), band.bottom - band.top, toQColor(band.color));
    }
}
