#include "widgets/ScbGrid.h"

#include "core/AssignIfChanged.h"
#include "core/GridLayout.h"
#include "core/TextCodec.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPaintEvent>
#include <QTextLayout>

ScbGrid::ScbGrid(QWidget *parent) : QWidget(parent)
{
    // The grid takes no input: keys go to the scoreboard window, which handles them.
    setEnabled(false);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_gridFont = QFont(QStringLiteral("Courier New"));
    m_gridFont.setPixelSize(85);
    m_gridFont.setBold(true);
}

ScbGrid::~ScbGrid() = default;

void ScbGrid::setPicture(const QImage &picture, bool shown)
{
    if (m_pictureShown == shown && m_picture.cacheKey() == picture.cacheKey())
        return;
    m_picture = picture;
    m_pictureShown = shown;
    update();
}

void ScbGrid::setTextColor(const QColor &color)
{
    if (scb::assignIfChanged(m_textColor, color))
        update();
}

void ScbGrid::setCell(int row, const scb::RowLinePtr &line)
{
    if (row < 0 || row >= RowCount || !line)
        return;
    if (!scb::sameRow(m_cells[row], line)) {
        m_display[row] = QString::fromStdString(line->shown);
        m_layouts[row].reset();
    }
    m_cells[row] = line;
    update(cellRect(row));
}

const std::string &ScbGrid::cell(int row) const
{
    static const std::string empty;
    return row >= 0 && row < RowCount && m_cells[row] ? m_cells[row]->bytes : empty;
}

QString ScbGrid::cellDisplayText(int row) const
{
    return row >= 0 && row < RowCount ? m_display[row] : QString();
}

void ScbGrid::setBorder(bool border)
{
    if (scb::assignIfChanged(m_border, border))
        update();
}

void ScbGrid::setGridColor(const QColor &color)
{
    if (scb::assignIfChanged(m_gridColor, color))
        update();
}

void ScbGrid::setGridFont(const QFont &font)
{
    if (!scb::assignIfChanged(m_gridFont, font))
        return;
    forgetLayouts();
    update();
}

void ScbGrid::forgetLayouts() const
{
    for (auto &layout : m_layouts)
        layout.reset();
}

void ScbGrid::setRowHeight(int height)
{
    if (scb::assignIfChanged(m_rowHeight, height))
        update();
}

void ScbGrid::setColumnWidth(int width)
{
    if (scb::assignIfChanged(m_columnWidth, width))
        update();
}

QRect ScbGrid::clientArea() const
{
    const int inset = m_border ? scb::GridBorderWidth : 0;
    return rect().adjusted(inset, inset, -inset, -inset);
}

QRect ScbGrid::cellRect(int row) const
{
    const QRect client = clientArea();
    return QRect(client.left(), client.top() + row * m_rowHeight, m_columnWidth, m_rowHeight);
}

void ScbGrid::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QRect client = clientArea();
    painter.setClipRect(client);
    for (int row = 0; row < RowCount; ++row) {
        const QRect r = cellRect(row);
        if (r.intersects(event->rect()))
            paintCell(painter, row, r.intersected(client));
    }
    // Where the window is larger than the cells, the strips show the grid's
    // colour, never the picture.
    const int cellsRight = client.left() + m_columnWidth;
    const int cellsBottom = client.top() + RowCount * m_rowHeight;
    if (cellsRight < client.right() + 1)
        painter.fillRect(QRect(cellsRight, client.top(), client.right() + 1 - cellsRight, client.height()),
                         m_gridColor);
    if (cellsBottom < client.bottom() + 1)
        painter.fillRect(QRect(client.left(), cellsBottom, client.width(), client.bottom() + 1 - cellsBottom),
                         m_gridColor);
    painter.setClipping(false);
    if (m_border)
        paintBorder(painter);
}

void ScbGrid::paintCell(QPainter &painter, int row, const QRect &r) const
{
    if (r.isEmpty())
        return;
    const QRect client = clientArea();
    painter.fillRect(r, m_gridColor);
    const bool pictureLoaded = m_pictureShown && !m_picture.isNull();
    if (pictureLoaded) {
        // Same coordinates as the cell in the grid's client area, no scaling;
        // beyond the picture's size the cell keeps the background colour.
        const QRect source = r.translated(-client.topLeft()).intersected(m_picture.rect());
        if (!source.isEmpty())
            painter.drawImage(source.topLeft() + client.topLeft(), m_picture, source);
    }
    painter.save();
    painter.setClipRect(r);
    painter.setFont(m_gridFont);
    painter.setPen(m_textColor);
    if (const QTextLayout *layout = layoutFor(row))
        layout->draw(&painter, QPointF(r.left() + 2, r.top()));
    painter.restore();
}

const QTextLayout *ScbGrid::layoutFor(int row) const
{
    if (m_display[row].isEmpty())
        return nullptr;
    if (devicePixelRatioF() != m_layoutPixelRatio) {
        forgetLayouts();
        m_layoutPixelRatio = devicePixelRatioF();
    }
    std::unique_ptr<QTextLayout> &layout = m_layouts[row];
    if (layout)
        return layout.get();
    // Laid out as a single left-aligned line in the widget's direction, with
    // tab stops every eight 'x' widths and a CR drawn as a space: what drawing
    // the text into a box with single-line, expand-tabs flags gives, pixel
    // for pixel.
    QString text = m_display[row];
    text.replace(u'\r', u' ');
    auto *device = const_cast<ScbGrid *>(this);
    layout = std::make_unique<QTextLayout>(text, m_gridFont, device);
    QTextOption option(Qt::AlignLeft);
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(layoutDirection());
    option.setTabStopDistance(qRound(QFontMetricsF(m_gridFont, device).horizontalAdvance(u'x') * 8));
    layout->setTextOption(option);
    layout->setCacheEnabled(true);
    layout->beginLayout();
    QTextLine line = layout->createLine();
    if (line.isValid()) {
        line.setLineWidth(0x01000000);
        line.setPosition(QPointF(0, 0));
    }
    layout->endLayout();
    return layout.get();
}

void ScbGrid::paintBorder(QPainter &painter) const
{
    // The classic sunken client edge: two rings, darker at top and left, on
    // the outermost two columns and rows (a QRect's right() and bottom() are
    // already the last pixel).
    const QRect outer = rect();
    const QRect inner = outer.adjusted(1, 1, -1, -1);
    const QPalette &pal = palette();
    auto ring = [&painter](const QRect &r, const QColor &topLeft, const QColor &bottomRight) {
        painter.setPen(topLeft);
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(bottomRight);
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
    };
    ring(outer, pal.color(QPalette::Active, QPalette::Mid), pal.color(QPalette::Active, QPalette::Light));
    ring(inner, pal.color(QPalette::Active, QPalette::Shadow), pal.color(QPalette::Active, QPalette::Button));
}
