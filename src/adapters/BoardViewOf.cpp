#include "adapters/BoardViewOf.h"

#include "adapters/QtConvert.h"
#include "core/GridLayout.h"
#include "core/TextCodec.h"

#include <QFontInfo>
#include <QImage>

scb::BoardView boardViewOf(const scb::BoardModel &board, const scb::BoardLayout &layout, QSize boardSize,
                           const QImage &picture, bool pictureLoaded, bool shown)
{
    scb::BoardView v;
    for (int r = 0; r < scb::RowCount; ++r) {
        if (const scb::RowLinePtr line = board.rowLine(r))
            v.rows[static_cast<std::size_t>(r)] = line->shown;
    }
    const QFont font = toQFont(layout.look.Font);
    v.style = {font.family().toStdString(), font.bold(), font.italic(), font.underline(), font.strikeOut(),
               QFontInfo(font).pixelSize(), scb::gridLayout(boardSize.width(), boardSize.height()).rowHeight,
               layout.look.Font.color, layout.look.BackColor, layout.look.ShowBorder};
    if (pictureLoaded && !picture.isNull())
        v.picture = {true, picture.width(), picture.height(), picture.cacheKey()};
    v.shown = shown;
    return v;
}
