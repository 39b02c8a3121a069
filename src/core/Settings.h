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
// it was and no temporary file behind. Where the folder refuses the temporary
// file but the file itself may be written, the file is rewritten in place;
// should that fail, the bytes it overwrote and its old length are put back.
// It throws scb::Error with the text the error box shows: "File access
// denied", "Invalid filename", "Disk full" or "I/O error N" (N the system's
// error number), or why a path cannot be kept (pathCannotBeKept).
//
// Refused with "File access denied", leaving every file as it is: a file
// without any write bit (root included), a folder in the file's place, and a
// symbolic link (at any step of a chain) that belongs neither to the user
// running the program nor to root; another user's link could otherwise turn
// any file the operator may write into thirteen settings lines.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

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

// What the settings file held when it was read or written: the close asks
// before replacing a file that another program (a second instance, an
// editor) has rewritten since.
struct SettingsOnDisk
{
    std::size_t digest = 0;
    bool empty = true;
    bool operator==(const SettingsOnDisk &) const = default;
};

Settings readSettings(const std::string &iniPath, SettingsOnDisk *seen = nullptr);

// True when the file now holds something other than what was seen; a file
// emptied or removed since has nothing that a write would undo.
bool rewrittenSince(const SettingsOnDisk &seen, const std::string &iniPath);

// Why the file cannot hold path as it is, in the operator's words, or nothing
// when it can: a line break would end the line early, and the reader gives
// back at most kIniMaxString characters.
std::optional<std::string> pathCannotBeKept(std::string_view path);

// The thirteen CR LF lines of the file, decimal integers and 1/0 flags. FBold
// is 1 only for a style of exactly bold. A string value cannot span lines, so
// it is cut at its first CR, LF or NUL.
std::string formatSettings(const Settings &settings);

// Stands in for ::write so that tests can make the disk fail or write short.
using WriteFunction = std::function<ssize_t(int fd, const void *data, std::size_t size)>;

// Returns what the file holds now.
SettingsOnDisk writeSettings(const std::string &iniPath, const Settings &settings, const WriteFunction &write = {});

// Removes the temporary files that an interrupted write left beside the
// settings file: only names this program makes, only the running user's own,
// and only when neither the process named in the file nor any lock holder is
// alive. Never fails.
void removeStaleTemporaries(const std::string &iniPath);

// The error box text for a failed file operation's errno.
std::string fileErrorText(int error);

} // namespace scb
