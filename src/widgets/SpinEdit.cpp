#include "widgets/SpinEdit.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTimer>
#include <qdrawutil.h>

#include <algorithm>

#include "adapters/QtConvert.h"

SpinEdit::SpinEdit(QWidget *parent)
    : QLineEdit(parent), m_repeatTimer(new QTimer(this))
{
    m_repeatTimer->setObjectName(QStringLiteral("spinRepeatTimer"));
    connect(m_repeatTimer, &QTimer::timeout, this, &SpinEdit::repeatStep);
    connect(this, &QLineEdit::textChanged, this, &SpinEdit::onTextChanged);
    // Text dragged in would bypass the typing rules; let the drop go to the parent.
    setAcceptDrops(false);
    // The text margin follows the button square, known once the edit is sized.
}

void SpinEdit::onTextChanged(const QString &text)
{
    m_model.setText(text.toStdString());
    if (!m_loading)
        emit changed();
}

void SpinEdit::showModelText()
{
    const QString text = QString::fromStdString(m_model.text());
    if (text == QLineEdit::text())
        return;
    const int caret = cursorPosition();
    QLineEdit::setText(text); // fires textChanged, hence changed()
    setCursorPosition(std::min(caret, int(text.size())));
}

void SpinEdit::setValue(double v)
{
    if (m_model.setValue(v))
        showModelText();
}

void SpinEdit::setText(const QString &text)
{
    QLineEdit::setText(text);
}

int SpinEdit::asInteger() const
{
    return m_model.readInteger();
}

void SpinEdit::setMinValue(double v)
{
    m_model.setMinValue(v);
}

void SpinEdit::setMaxValue(double v)
{
    m_model.setMaxValue(v);
}

void SpinEdit::setStep(double v)
{
    m_model.setStep(v);
}

void SpinEdit::setLargeStep(double v)
{
    m_model.setLargeStep(v);
}

void SpinEdit::stepUp(bool large)
{
    if (m_model.stepUp(large))
        showModelText();
}

void SpinEdit::stepDown(bool large)
{
    if (m_model.stepDown(large))
        showModelText();
}

void SpinEdit::stepBy(scb::SpinButton button, bool large)
{
    if (button == scb::SpinButton::Up)
        stepUp(large);
    else if (button == scb::SpinButton::Down)
        stepDown(large);
}

void SpinEdit::commitText()
{
    if (m_model.focusOut())
        showModelText();
}

SpinEdit::Insertion SpinEdit::insertionInBytes() const
{
    // The model counts bytes of UTF-8; the line edit counts UTF-16 units.
    const QString t = QLineEdit::text();
    const auto bytes = [&t](int pos) { return int(t.left(pos).toUtf8().size()); };
    const int selStart = selectionStart();
    if (selStart < 0 || selectionLength() == 0)
        return {bytes(cursorPosition()), 0, 0};
    const int start = bytes(selStart);
    return {bytes(cursorPosition()), start, bytes(selStart + selectionLength()) - start};
}

bool SpinEdit::insertFiltered(const QString &text)
{
    const Insertion at = insertionInBytes();
    if (!m_model.acceptsPaste(text.toStdString(), at.cursor, at.selStart, at.selLength))
        return false;
    insert(text);
    return true;
}

void SpinEdit::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Up:
        stepUp();
        return event->accept();
    case Qt::Key_Down:
        stepDown();
        return event->accept();
    case Qt::Key_PageUp:
        stepUp(true);
        return event->accept();
    case Qt::Key_PageDown:
        stepDown(true);
        return event->accept();
    default:
        break;
    }
    if (event->matches(QKeySequence::Paste)) {
        if (!isReadOnly())
            insertFiltered(QGuiApplication::clipboard()->text());
        return event->accept();
    }
    const QString typed = event->text();
    const bool printable = !typed.isEmpty()
        && std::all_of(typed.begin(), typed.end(), [](QChar c) { return c.isPrint(); });
    if (printable && !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))) {
        const Insertion at = insertionInBytes();
        const bool ok = typed.size() == 1 && typed[0].unicode() < 0x80
            ? m_model.acceptsTyped(char(typed[0].unicode()), at.cursor, at.selStart, at.selLength)
            : m_model.acceptsPaste(typed.toStdString(), at.cursor, at.selStart, at.selLength);
        if (!ok)
            return event->accept(); // dropped, like any other refused character
    }
    QLineEdit::keyPressEvent(event);
}

void SpinEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    // Only a move to another control leaves the edit. A deactivated window or
    // an opening menu does not, and a failing write-back must not re-run when
    // its own error box takes the activation.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    commitText();
}

scb::SpinButtonLayout SpinEdit::buttonLayout() const
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
    const QRect inner = rect().adjusted(frame, frame, -frame, -frame);
    return scb::spinButtonLayout({inner.x(), inner.y(), inner.width(), inner.height()});
}

void SpinEdit::updateTextMargins()
{
    const int right = buttonLayout().buttons.width;
    if (textMargins().right() == right)
        return;
    setTextMargins(0, 0, right, 0);
}

void SpinEdit::mousePressEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    const scb::SpinButton hit = scb::spinButtonAt(buttonLayout(), p.x(), p.y());
    if (hit == scb::SpinButton::None) {
        QLineEdit::mousePressEvent(event);
        return;
    }
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    if (!hasFocus())
        setFocus(Qt::MouseFocusReason);
    m_pressed = hit;
    update();
    stepBy(hit, false);
    // Only a step that went through starts the repeat, so a failing read
    // reports once rather than ten times a second.
    m_repeatTimer->start(RepeatDelayMs);
}

void SpinEdit::repeatStep()
{
    m_repeatTimer->setInterval(RepeatIntervalMs);
    try {
        stepBy(m_pressed, false);
    } catch (...) {
        m_repeatTimer->stop();
        throw;
    }
}

void SpinEdit::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_pressed != scb::SpinButton::None && event->button() == Qt::LeftButton) {
        m_repeatTimer->stop();
        m_pressed = scb::SpinButton::None;
        update();
        return event->accept();
    }
    if (event->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection()) {
        // The selection paste would insert unchecked text.
        if (!isReadOnly()) {
            const QPoint p = event->position().toPoint();
            deselect();
            setCursorPosition(cursorPositionAt(p));
            insertFiltered(QGuiApplication::clipboard()->text(QClipboard::Selection));
        }
        return event->accept();
    }
    QLineEdit::mouseReleaseEvent(event);
}

void SpinEdit::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    const bool overButtons = buttonLayout().buttons.contains(p.x(), p.y());
    setCursor(overButtons ? Qt::ArrowCursor : Qt::IBeamCursor);
    if (m_pressed != scb::SpinButton::None)
        return event->accept();
    QLineEdit::mouseMoveEvent(event);
}

void SpinEdit::contextMenuEvent(QContextMenuEvent *event)
{
    // Our own menu, because the standard one pastes unchecked text and gives
    // no handle on its Paste entry.
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const bool editable = !isReadOnly();
    const bool selected = hasSelectedText();
    const auto add = [menu](const QString &text, QKeySequence::StandardKey key, bool enabled, auto slot) {
        QAction *action = menu->addAction(text, slot);
        action->setShortcut(key);
        action->setEnabled(enabled);
        return action;
    };
    add(tr("&Undo"), QKeySequence::Undo, editable && isUndoAvailable(), [this]() { undo(); });
    add(tr("&Redo"), QKeySequence::Redo, editable && isRedoAvailable(), [this]() { redo(); });
    menu->addSeparator();
    add(tr("Cu&t"), QKeySequence::Cut, editable && selected, [this]() { cut(); });
    add(tr("&Copy"), QKeySequence::Copy, selected, [this]() { copy(); });
    QAction *paste = add(tr("&Paste"), QKeySequence::Paste,
                         editable && !QGuiApplication::clipboard()->text().isEmpty(),
                         [this]() { insertFiltered(QGuiApplication::clipboard()->text()); });
    paste->setObjectName(QStringLiteral("edit-paste"));
    add(tr("Delete"), QKeySequence::Delete, editable && selected, [this]() { insert(QString()); });
    menu->addSeparator();
    add(tr("Select All"), QKeySequence::SelectAll, !text().isEmpty(), [this]() { selectAll(); });
    menu->popup(event->globalPos());
}

void SpinEdit::inputMethodEvent(QInputMethodEvent *event)
{
    const QString commit = event->commitString();
    if (!commit.isEmpty()) {
        const Insertion at = insertionInBytes();
        if (!m_model.acceptsPaste(commit.toStdString(), at.cursor, at.selStart, at.selLength)) {
            QInputMethodEvent without(event->preeditString(), event->attributes());
            QLineEdit::inputMethodEvent(&without);
            return;
        }
    }
    QLineEdit::inputMethodEvent(event);
}

void SpinEdit::paintEvent(QPaintEvent *event)
{
    QLineEdit::paintEvent(event);
    const scb::SpinButtonLayout layout = buttonLayout();
    QPainter painter(this);
    const auto drawButton = [&](const scb::Rect &r, bool pressed, QStyle::PrimitiveElement arrow) {
        const QRect rect = toQRect(r);
        qDrawShadePanel(&painter, rect, palette(), pressed, 1, &palette().brush(QPalette::Button));
        QStyleOption option;
        option.initFrom(this);
        option.rect = rect.adjusted(2, 1, -2, -1);
        option.palette.setColor(QPalette::ButtonText, palette().color(QPalette::ButtonText));
        style()->drawPrimitive(arrow, &option, &painter, this);
    };
    drawButton(layout.up, m_pressed == scb::SpinButton::Up, QStyle::PE_IndicatorArrowUp);
    drawButton(layout.down, m_pressed == scb::SpinButton::Down, QStyle::PE_IndicatorArrowDown);
}

void SpinEdit::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    updateTextMargins();
}

void SpinEdit::changeEvent(QEvent *event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::ReadOnlyChange)
        m_model.setReadOnly(isReadOnly());
    else if (event->type() == QEvent::StyleChange)
        updateTextMargins();
}
