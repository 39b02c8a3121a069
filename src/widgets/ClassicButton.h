#pragma once

#include <QPushButton>

// A push button in the classic raised three-dimensional look, whatever the
// style: button-face face, highlight outer top/left, dark shadow outer
// bottom/right, shadow inner bottom/right. Focused or default buttons get a
// dark-shadow frame and (when focused) a dotted focus rectangle; while held
// down the edge turns black outside and grey inside and the caption moves
// by one pixel right and down.
class ClassicButton : public QPushButton
{
    Q_OBJECT

public:
    explicit ClassicButton(QWidget *parent = nullptr);
    explicit ClassicButton(const QString &text, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
