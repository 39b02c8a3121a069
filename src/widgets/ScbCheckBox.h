#pragma once

#include <QCheckBox>
#include <QColor>

// A transparent check box: the platform's 13 x 13 glyph at x = 1 and the
// caption at x = 19, with no background. changed() fires synchronously inside
// whatever changed the state (setChecked, setCheckState, a click, the space
// bar) and only when the state really changed; a mouse click fires changed()
// before clicked(). The whole rectangle answers the mouse.
class ScbCheckBox : public QCheckBox
{
    Q_OBJECT
    Q_PROPERTY(QColor captionColor READ captionColor WRITE setCaptionColor)

public:
    explicit ScbCheckBox(QWidget *parent = nullptr);
    explicit ScbCheckBox(const QString &text, QWidget *parent = nullptr);

    QColor captionColor() const { return m_captionColor; }
    void setCaptionColor(const QColor &color);

signals:
    void changed();

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;

private:
    QColor m_captionColor = Qt::white;
};
