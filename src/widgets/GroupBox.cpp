#include "widgets/GroupBox.h"

#include <QFontMetrics>
#include <QPainter>
#include <QRegion>

#include "adapters/QtConvert.h"
#include "core/AssignIfChanged.h"
#include "core/GroupBoxGeometry.h"

namespace {
constexpr int TextFlags = Qt::TextSingleLine | Qt::TextShowMnemonic;
} // namespace

ScbGroupBox::ScbGroupBox(QWidget *parent) : ScbGroupBox(QString(), parent) {}

ScbGroupBox::ScbGroupBox(const QString &caption, QWidget *parent) : QWidget(parent), m_caption(caption)
{
    m_captionFont.setFamily(QStringLiteral("MS Sans Serif"));
    m_captionFont.setBold(true);
    m_captionFont.setPixelSize(11);
    updateCaptionHeight();
}

void ScbGroupBox::setCaption(const QString &caption)
{
    if (scb::assignIfChanged(m_caption, caption))
        update();
}

void ScbGroupBox::setCaptionColor(const QColor &color)
{
    if (scb::assignIfChanged(m_captionColor, color))
        update();
}

void ScbGroupBox::setCaptionFont(const QFont &font)
{
    if (!scb::assignIfChanged(m_captionFont, font))
        return;
    updateCaptionHeight();
    update();
}

void ScbGroupBox::setCaptionPixelSize(int pixels)
{
    QFont f = m_captionFont;
    f.setPixelSize(pixels);
    setCaptionFont(f);
}

QRect ScbGroupBox::clientRect() const
{
    return toQRect(scb::groupBoxGeometry(m_captionHeight, 0, width(), height()).client);
}

void ScbGroupBox::paintEvent(QPaintEvent *)
{
    const auto g = scb::groupBoxGeometry(m_captionHeight, captionTextWidth(), width(), height());

    QPainter painter(this);
    // Straight one-pixel lines only: antialiasing would smear them.
    painter.setRenderHint(QPainter::Antialiasing, false);

    painter.save();
    // With no caption there is nothing to break the frame for.
    if (!m_caption.isEmpty())
        painter.setClipRegion(QRegion(rect()).subtracted(toQRect(g.captionPatch)));
    const QColor shadow = palette().color(QPalette::Dark);
    const QColor highlight = palette().color(QPalette::Light);
    for (const auto &line : g.etch) {
        const QRect r(QPoint(line.from.x, line.from.y), QPoint(line.to.x, line.to.y));
        painter.fillRect(r.normalized(), line.role == scb::EtchRole::Shadow ? shadow : highlight);
    }
    painter.restore();

    painter.setFont(m_captionFont);
    painter.setPen(m_captionColor);
    painter.drawText(toQRect(g.caption), Qt::AlignLeft | Qt::AlignTop | TextFlags, m_caption);
}

void ScbGroupBox::updateCaptionHeight()
{
    m_captionHeight = QFontMetrics(m_captionFont, this).size(TextFlags, QStringLiteral("W")).height();
}

int ScbGroupBox::captionTextWidth() const
{
    return m_caption.isEmpty() ? 0 : QFontMetrics(m_captionFont, this).size(TextFlags, m_caption).width();
}
