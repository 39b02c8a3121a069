#include "widgets/QtConvert.h"

#include "core/TextCodec.h"

QColor toQColor(scb::Color c)
{
    return QColor(scb::colorRed(c), scb::colorGreen(c), scb::colorBlue(c));
}

scb::Color fromQColor(const QColor &c)
{
    return scb::makeColor(c.red(), c.green(), c.blue());
}

QFont toQFont(const scb::ScoreFont &f)
{
    QFont font(QString::fromStdString(f.family));
    font.setPointSize(f.drawnSize());
    font.setBold(f.bold);
    font.setItalic(f.italic);
    font.setUnderline(f.underline);
    font.setStrikeOut(f.strikeOut);
    return font;
}

void assignFromQFont(scb::ScoreFont &f, const QFont &font)
{
    f.family = font.family().toStdString();
    if (font.pointSize() > 0)
        f.size = font.pointSize();
    f.bold = font.bold();
    f.italic = font.italic();
    f.underline = font.underline();
    f.strikeOut = font.strikeOut();
}

QString fromBytes(const std::string &bytes)
{
    const std::u16string text = scb::pathBytesToUtf16(bytes);
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::string toBytes(const QString &text)
{
    return scb::utf16ToPathBytes(std::u16string_view(reinterpret_cast<const char16_t *>(text.utf16()), static_cast<std::size_t>(text.size())));
}
