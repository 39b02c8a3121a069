#pragma once
// The scoreboard's twelve rows. Cells hold the display file's bytes; each set
// repaints its row, even with the same text, because the feed relies on that
// to refresh the board once a second. Painting follows the classic cell
// routine: background colour or the matching piece of the picture, then the
// text two pixels in from the left, flush with the top, cut at the cell edge.
// A row draws only what a row can show (scb::rowText), laid out once per text
// and font, so the once-a-second repaint of an unchanged row lays out nothing.

#include "core/Board.h"
#include "core/PreviewLines.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QWidget>

#include <array>
#include <memory>
#include <string>
#include <string_view>

class QTextLayout;


class ScbGrid : public QWidget
{
    Q_OBJECT
public:
    static constexpr int RowCount = scb::RowCount;

    explicit ScbGrid(QWidget *parent = nullptr);
    ~ScbGrid() override;

    // The picture the cells copy from while shown is true.
    void setPicture(const QImage &picture, bool shown);
    const QImage &picture() const { return m_picture; }
    void setTextColor(const QColor &color);

    // A line shared with the model: the same one again costs nothing.
    void setCell(int row, const scb::RowLinePtr &line);
    const std::string &cell(int row) const;
    // What the row draws: its bytes decoded and cut by scb::rowText.
    QString cellDisplayText(int row) const;

    void setBorder(bool border);
    bool hasBorder() const { return m_border; }
    void setGridColor(const QColor &color);
    QColor gridColor() const { return m_gridColor; }
    void setGridFont(const QFont &font);
    QFont gridFont() const { return m_gridFont; }
    void setRowHeight(int height);
    int rowHeight() const { return m_rowHeight; }
    void setColumnWidth(int width);
    int columnWidth() const { return m_columnWidth; }

    // Cell rectangle in widget coordinates (inside the border when there is one).
    QRect cellRect(int row) const;
    QRect clientArea() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void paintCell(class QPainter &painter, int row, const QRect &r) const;
    void paintBorder(QPainter &painter) const;
    const QTextLayout *layoutFor(int row) const;
    void forgetLayouts() const;

    QImage m_picture;
    bool m_pictureShown = false;
    QColor m_textColor = Qt::yellow;
    std::array<scb::RowLinePtr, RowCount> m_cells;
    std::array<QString, RowCount> m_display;
    // Built at the row's first paint after its text or the font changed.
    mutable std::array<std::unique_ptr<QTextLayout>, RowCount> m_layouts;
    // The layouts hold glyph positions for one pixel density.
    mutable qreal m_layoutPixelRatio = 0;
    bool m_border = false;
    QColor m_gridColor = Qt::black;
    QFont m_gridFont;
    int m_rowHeight = 90;
    int m_columnWidth = 500;
};
