#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

// A two-state rocker switch drawn in perspective: the half of the current
// state lies flat, the other half sinks away and is the one to press. A left
// press on the sinking half flips the state at once; clicked() follows at the
// left release over the switch whether or not the press flipped it. Setting
// the state from code never emits clicked(). Takes no keyboard focus and
// paints no background.
class RockerSwitch : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool checked READ isChecked WRITE setChecked NOTIFY toggled)
    Q_PROPERTY(bool checkedLeft READ checkedLeft WRITE setCheckedLeft)
    Q_PROPERTY(QString captionChecked READ captionChecked WRITE setCaptionChecked)
    Q_PROPERTY(QString captionUnChecked READ captionUnChecked WRITE setCaptionUnChecked)
    Q_PROPERTY(QColor colorChecked READ colorChecked WRITE setColorChecked)
    Q_PROPERTY(QColor colorUnChecked READ colorUnChecked WRITE setColorUnChecked)
    Q_PROPERTY(QColor topColor READ topColor WRITE setTopColor)
    Q_PROPERTY(QColor sideColor READ sideColor WRITE setSideColor)
    Q_PROPERTY(QColor captionColor READ captionColor WRITE setCaptionColor)

public:
    explicit RockerSwitch(QWidget *parent = nullptr);

    bool isChecked() const { return m_checked; }
    void setChecked(bool checked);

    // Whether the checked position is the left half (true by default).
    bool checkedLeft() const { return m_checkedLeft; }
    void setCheckedLeft(bool checkedLeft);

    QString captionChecked() const { return m_captionChecked; }
    void setCaptionChecked(const QString &caption);
    QString captionUnChecked() const { return m_captionUnChecked; }
    void setCaptionUnChecked(const QString &caption);

    QColor colorChecked() const { return m_colorChecked; }
    void setColorChecked(const QColor &color);
    QColor colorUnChecked() const { return m_colorUnChecked; }
    void setColorUnChecked(const QColor &color);
    QColor topColor() const { return m_topColor; }
    void setTopColor(const QColor &color);
    QColor sideColor() const { return m_sideColor; }
    void setSideColor(const QColor &color);
    QColor captionColor() const { return m_captionColor; }
    void setCaptionColor(const QColor &color);

    QSize sizeHint() const override { return QSize(80, 32); }

signals:
    void clicked();
    void toggled(bool checked);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void setColor(QColor &member, const QColor &color);

    bool m_checked = false;
    bool m_checkedLeft = true;
    bool m_leftPressed = false;
    QString m_captionChecked = QStringLiteral("On");
    QString m_captionUnChecked = QStringLiteral("Off");
    QColor m_colorChecked = QColor(255, 0, 0);
    QColor m_colorUnChecked = QColor(128, 0, 0);
    QColor m_topColor = QColor(192, 192, 192);
    QColor m_sideColor = QColor(192, 192, 192);
    QColor m_captionColor = Qt::white;
};
