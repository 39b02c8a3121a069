#pragma once
// The operator's choices as kept in "Resolution.ini".
//
// readSettings() never fails: a missing file, section or key, or a value that
// does not parse, gives the field's default. Integers come back raw; the spin
// edits clamp them (clampSpin) when they are set.
//
// writeSettings() replaces the file as a whole or not at all: it writes a
// temporary file beside it, syncs it and renames it over the old one, so a
// failure (read-only file, vanished folder, full disk) leaves the old file as
// it was and no temporary file behind. It throws scb::Error with the text the
// error box shows: "File access denied", "Invalid filename", "Disk full" or
// "I/O error N" (N the system's error number).

#include <cstddef>
#include <functional>
#include <string>

#include <sys/types.h>

#include "core/DisplayState.h"

namespace scb {

struct Settings
{
    int Left = 801;
    int Top = 0;
    int Width = 800;
    int Height = 600;
    Color BackColor = 8454143; // 0x0080FFFF, pale yellow
    bool ShowBorder = true;
    ScoreFont Font; // "Arial", 18 points, bold, red
    std::string DisplayFile;
    std::string BackgroundImage;

    bool operator==(const Settings &) const = default;
};

// The range of the rectangle's spin edits.
int clampSpin(int value);

// dir + "/Resolution.ini"; a bare "Resolution.ini" for an empty dir.
std::string settingsPath(const std::string &dir);

Settings readSettings(const std::string &iniPath);

// The thirteen CR LF lines of the file, decimal integers and 1/0 flags. FBold
// is 1 only for a style of exactly bold. A string value cannot span lines, so
// it is cut at its first CR, LF or NUL.
std::string formatSettings(const Settings &settings);

// Stands in for ::write so that tests can make the disk fail or write short.
using WriteFunction = std::function<ssize_t(int fd, const void *data, std::size_t size)>;

void writeSettings(const std::string &iniPath, const Settings &settings, const WriteFunction &write = {});

// The error box text for a failed file operation's errno.
std::string fileErrorText(int error);

} // namespace scb
