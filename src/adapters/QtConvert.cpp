#include "adapters/QtConvert.h"

#include "core/TextCodec.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>

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

scb::Rect fromQRect(const QRect &r)
{
    return {r.x(), r.y(), r.width(), r.height()};
}

QRect toQRect(const scb::Rect &r)
{
    return QRect(r.x, r.y, r.width, r.height);
}

std::vector<scb::DesktopScreen> desktopScreens()
{
    std::vector<scb::DesktopScreen> screens;
    // The primary first: it is where a rectangle on no screen ends up.
    if (QScreen *primary = QGuiApplication::primaryScreen())
        screens.push_back({fromQRect(primary->geometry()), primary->devicePixelRatio()});
    for (QScreen *screen : QGuiApplication::screens())
        if (screen != QGuiApplication::primaryScreen())
            screens.push_back({fromQRect(screen->geometry()), screen->devicePixelRatio()});
    return screens;
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
