#pragma once
// Conversions between the core's toolkit-free values and Qt's.

#include <QColor>
#include <QFont>
#include <QString>

#include <string>

#include "core/Desktop.h"
#include "core/BoardLook.h"

#include <vector>

class QRect;

QColor toQColor(scb::Color c);
scb::Color fromQColor(const QColor &c);

// Font of the score rows, at the size it is drawn at (ScoreFont::drawnSize);
// the colour is not part of a QFont.
QFont toQFont(const scb::ScoreFont &f);
// Family, size and style from a QFont; the colour is left as it was.
void assignFromQFont(scb::ScoreFont &f, const QFont &font);

scb::Rect fromQRect(const QRect &r);
QRect toQRect(const scb::Rect &r);
// The screens as the toolkit reports them. Under X11 a screen's ratio is the
// desktop's scale (Xft.dpi / 96); a Wayland session runs the program on
// XWayland, where the same holds.
std::vector<scb::DesktopScreen> desktopScreens();

// 8-bit paths and texts travel as their bytes.
QString fromBytes(const std::string &bytes);
std::string toBytes(const QString &text);
