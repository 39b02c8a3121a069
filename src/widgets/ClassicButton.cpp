#include "widgets/ClassicButton.h"

#include <QPainter>
#include <QStyleOptionFocusRect>

namespace {

// One pixel ring just inside r; the bottom/right colour owns the far corners.
void drawRing(QPainter &painter, const QRect &r, const QColor &topLeft, const QColor &bottomRight)
{
    if (r.width() <= 0 || r.height() <= 0)
        return;
    if (topLeft.isValid()) {
        painter.fillRect(r.left(), r.top(), r.width() - 1, 1, topLeft);
        painter.fillRect(r.left(), r.top(), 1, r.height() - 1, topLeft);
    }
    painter.fillRect(r.left(), r.bottom(), r.width(), 1, bottomRight);
    painter.fillRect(r.right(), r.top(), 1, r.height(), bottomRight);
}

} // namespace

ClassicButton::ClassicButton(QWidget *parent) : QPushButton(parent) {}

ClassicButton::ClassicButton(const QString &text, QWidget *parent) : QPushButton(text, parent) {}

void ClassicButton::paintEvent(QPaintEvent *)
{
    const QPalette &pal = palette();
    const bool framed = hasFocus() || isDefault();
    const bool down = isDown() || isChecked();

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, false);

    QRect edge = rect();
    if (framed) {
        drawRing(painter, edge, pal.color(QPalette::Shadow), pal.color(QPalette::Shadow));
        edge.adjust(1, 1, -1, -1);
    }
    painter.fillRect(edge, pal.color(QPalette::Button));
    if (down) {
        drawRing(painter, edge, Qt::black, Qt::black);
        const QColor grey(128, 128, 128);
        drawRing(painter, edge.adjusted(1, 1, -1, -1), grey, grey);
    } else {
        drawRing(painter, edge, pal.color(QPalette::Light), pal.color(QPalette::Shadow));
        drawRing(painter, edge.adjusted(1, 1, -1, -1), QColor(), pal.color(QPalette::Dark));
    }

    const QPoint shift = down ? QPoint(1, 1) : QPoint(0, 0);
    painter.setPen(pal.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(edge.adjusted(2, 2, -2, -2).translated(shift),
                     Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, text());

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        // Three pixels clear of the frame, one more while held down.
        const int inset = down ? 5 : 4;
        focus.rect = rect().adjusted(inset, inset, -inset, -inset);
        focus.backgroundColor = pal.color(QPalette::Button);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}
