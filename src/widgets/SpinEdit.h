#pragma once
// An integer spin edit: a line edit whose number rules live in
// scb::SpinEditModel, with an up/down button pair inside the right end of its
// frame. changed() fires synchronously inside whatever call altered the text
// (typing, deleting, pasting, stepping, setValue, the write-back at focus
// loss) and never when the text stays as it was.

#include <QLineEdit>

#include "core/SpinEditModel.h"

class QTimer;

class SpinEdit : public QLineEdit
{
    Q_OBJECT
public:
    // A held spin button steps again after the first delay, then at the interval.
    static constexpr int RepeatDelayMs = 300;
    static constexpr int RepeatIntervalMs = 100;

    explicit SpinEdit(QWidget *parent = nullptr);

    double value() const { return m_model.value(); }
    void setValue(double v);

    // Hides QLineEdit::setText so the caller's intent is plain; either keeps
    // the model in step.
    void setText(const QString &text);

    // The text's number; throws scb::Error for a text that is no integer.
    int asInteger() const;

    double minValue() const { return m_model.minValue(); }
    double maxValue() const { return m_model.maxValue(); }
    double step() const { return m_model.step(); }
    double largeStep() const { return m_model.largeStep(); }
    void setMinValue(double v);
    void setMaxValue(double v);
    void setStep(double v);
    void setLargeStep(double v);

    // Steps as the arrow and page keys and the spin buttons do; throw on a
    // text that is no integer.
    void stepUp(bool large = false);
    void stepDown(bool large = false);

    // Writes the text's number back to the value, clamped. Throws on a text
    // that is no integer, leaving value and text alone. Runs at focus loss.
    void commitText();

    // While the owning window is being built, changes fire nothing.
    void setLoading(bool loading) { m_loading = loading; }
    bool isLoading() const { return m_loading; }

    scb::SpinButtonLayout buttonLayout() const;
    QTimer *repeatTimer() const { return m_repeatTimer; }

signals:
    void changed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void onTextChanged(const QString &text);
    void showModelText();
    void repeatStep();
    void stepBy(scb::SpinButton button, bool large);
    bool insertFiltered(const QString &text);
    void updateTextMargins();

    struct Insertion
    {
        int cursor;
        int selStart;
        int selLength;
    };
    Insertion insertionInBytes() const;

    scb::SpinEditModel m_model;
    QTimer *m_repeatTimer;
    scb::SpinButton m_pressed = scb::SpinButton::None;
    bool m_loading = false;
};
