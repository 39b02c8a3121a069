#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

// A transparent group box: an etched frame whose top line runs through the
// middle of the caption, broken where the caption stands. The caption font is
// kept apart from the widget's font so that the bold caption face does not
// spread to the children; the window places children itself, at rectangles
// inside clientRect(). It never paints a background, so the window's gradient
// shows through.
class ScbGroupBox : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
    Q_PROPERTY(QFont captionFont READ captionFont WRITE setCaptionFont)
    Q_PROPERTY(QColor captionColor READ captionColor WRITE setCaptionColor)

public:
    explicit ScbGroupBox(QWidget *parent = nullptr);
    explicit ScbGroupBox(const QString &caption, QWidget *parent = nullptr);

    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);

    QColor captionColor() const { return m_captionColor; }
    void setCaptionColor(const QColor &color);

    // "MS Sans Serif" bold, 11 px, by default.
    QFont captionFont() const { return m_captionFont; }
    void setCaptionFont(const QFont &font);
    // Caption font height in pixels without internal leading (11 for the
    // 8-point caption, 16 for the 12-point one).
    void setCaptionPixelSize(int pixels);

    int captionHeight() const { return m_captionHeight; }
    QRect clientRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void updateCaptionHeight();
    int captionTextWidth() const;

    QString m_caption;
    QFont m_captionFont;
    QColor m_captionColor = Qt::white;
    int m_captionHeight = 0;
};
