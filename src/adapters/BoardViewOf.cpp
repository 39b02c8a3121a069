#include "adapters/BoardViewOf.h"

#include "adapters/QtConvert.h"

#include <QFontInfo>
#include <QImage>

scb::BoardStyle boardStyleOf(const scb::BoardLayout &layout, int rowHeight)
{
    const QFont font = toQFont(layout.look.Font);
    return {font.family().toStdString(), font.bold(), font.italic(), font.underline(), font.strikeOut(),
            QFontInfo(font).pixelSize(), rowHeight, layout.look.Font.color, layout.look.BackColor,
            layout.look.ShowBorder};
}

scb::BoardPicture boardPictureOf(const QImage &picture, bool pictureLoaded)
{
    if (!pictureLoaded || picture.isNull())
        return {};
    return {true, picture.width(), picture.height(), picture.cacheKey()};
}
