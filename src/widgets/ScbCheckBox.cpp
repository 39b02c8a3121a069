#include "widgets/ScbCheckBox.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>

#include "adapters/QtConvert.h"
#include "core/AssignIfChanged.h"
#include "core/CheckBoxGeometry.h"

namespace {
constexpr int TextFlags = Qt::TextSingleLine | Qt::TextShowMnemonic;
} // namespace

ScbCheckBox::ScbCheckBox(QWidget *parent) : ScbCheckBox(QString(), parent) {}

ScbCheckBox::ScbCheckBox(const QString &text, QWidget *parent) : QCheckBox(text, parent)
{
    // stateChanged is emitted only on a real change and inside the call that made it.
    connect(this, &QCheckBox::stateChanged, this, &ScbCheckBox::changed);
}

void ScbCheckBox::setCaptionColor(const QColor &color)
{
    if (scb::assignIfChanged(m_captionColor, color))
        update();
}

void ScbCheckBox::paintEvent(QPaintEvent *)
{
    const QFontMetrics fm = fontMetrics();
    const QString caption = text();
    const int textWidth = caption.isEmpty() ? 0 : fm.size(TextFlags, caption).width();
    const auto g = scb::checkBoxGeometry(fm.height(), textWidth);

    QPainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.rect = toQRect(g.glyph);
    style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &painter, this);

    painter.setPen(isEnabled() ? m_captionColor : palette().color(QPalette::Disabled, QPalette::WindowText));
    painter.drawText(toQRect(g.caption), Qt::AlignLeft | Qt::AlignTop | TextFlags, caption);

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = toQRect(g.focus);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

bool ScbCheckBox::hitButton(const QPoint &pos) const
{
    return rect().contains(pos);
}
