#include "widgets/RockerSwitch.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>

#include "adapters/QtConvert.h"
#include "core/AssignIfChanged.h"
#include "core/RockerGeometry.h"

RockerSwitch::RockerSwitch(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
}

void RockerSwitch::setChecked(bool checked)
{
    if (!scb::assignIfChanged(m_checked, checked))
        return;
    update();
    emit toggled(m_checked);
}

void RockerSwitch::setCheckedLeft(bool checkedLeft)
{
    if (scb::assignIfChanged(m_checkedLeft, checkedLeft))
        update();
}

void RockerSwitch::setCaptionChecked(const QString &caption)
{
    if (scb::assignIfChanged(m_captionChecked, caption))
        update();
}

void RockerSwitch::setCaptionUnChecked(const QString &caption)
{
    if (scb::assignIfChanged(m_captionUnChecked, caption))
        update();
}

void RockerSwitch::setColor(QColor &member, const QColor &color)
{
    if (scb::assignIfChanged(member, color))
        update();
}

void RockerSwitch::setColorChecked(const QColor &color) { setColor(m_colorChecked, color); }
void RockerSwitch::setColorUnChecked(const QColor &color) { setColor(m_colorUnChecked, color); }
void RockerSwitch::setTopColor(const QColor &color) { setColor(m_topColor, color); }
void RockerSwitch::setSideColor(const QColor &color) { setColor(m_sideColor, color); }
void RockerSwitch::setCaptionColor(const QColor &color) { setColor(m_captionColor, color); }

void RockerSwitch::paintEvent(QPaintEvent *)
{
    const auto g = scb::rockerGeometry(width(), height(), m_checked, m_checkedLeft);

    QPainter painter(this);
    // Hard polygon edges, as in the design; antialiasing would blur the outline.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::black, 0));
    for (const auto &face : g.faces) {
        QPolygon polygon;
        for (const auto &p : face.points)
            polygon << QPoint(p.x, p.y);
        switch (face.color) {
        case scb::RockerColorRole::Top: painter.setBrush(m_topColor); break;
        case scb::RockerColorRole::Side: painter.setBrush(m_sideColor); break;
        case scb::RockerColorRole::Checked: painter.setBrush(m_colorChecked); break;
        case scb::RockerColorRole::Unchecked: painter.setBrush(m_colorUnChecked); break;
        }
        painter.drawPolygon(polygon);
    }

    const QRect captionRect = toQRect(g.caption);
    painter.setClipRect(captionRect);
    painter.setPen(m_captionColor);
    painter.drawText(captionRect, Qt::AlignCenter | Qt::TextSingleLine,
                     m_checked ? m_captionChecked : m_captionUnChecked);
}

void RockerSwitch::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_leftPressed = true;
    if (scb::pressFlips(event->position().toPoint().x(), m_checked, m_checkedLeft, width())) {
        setChecked(!m_checked);
        // The flip must be seen while the button is still held.
        repaint();
    }
}

void RockerSwitch::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_leftPressed) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_leftPressed = false;
    if (rect().contains(event->position().toPoint()))
        emit clicked();
}
