#pragma once
// The operator's choices as kept in "Resolution.ini".
//
// readSettings() never fails: a missing file, section or key, or a value that
// does not parse, gives the field's default. Integers come back raw; the spin
// edits clamp them when they are set.
//
// writeSettings() replaces the file as a whole or not at all (replaceFile()).
// It throws scb::Error with the text the error box shows: "File access
// denied", "Invalid filename", "Disk full" or "I/O error N" (N the system's
// error number), or why a path cannot be kept (pathCannotBeKept). Refused
// with "File access denied", leaving every file as it is: a file without any
// write bit, a folder in the file's place, and a symbolic link that belongs
// neither to the user running the program nor to root.

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/Board.h"
#include "core/BoardLook.h"
#include "core/Geometry.h"
#include "core/platform/AtomicWrite.h"

namespace scb {

struct Settings
{
    Rect Screen = DefaultBoardRect; // SLeft, STop, SWidth, SHeight
    BoardLook Look;
    std::string DisplayFile;

    bool operator==(const Settings &) const = default;
};

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

// What the file holds now, as readSettings() would have seen it.
SettingsOnDisk onDisk(const std::string &iniPath);

// True when the file now holds something other than what was seen; a file
// emptied or removed since has nothing that a write would undo.
bool rewrittenSince(const SettingsOnDisk &seen, const SettingsOnDisk &now);

// Why the file cannot hold path as it is, in the operator's words, or nothing
// when it can: a line break would end the line early, and the reader gives
// back at most IniMaxString characters.
std::optional<std::string> pathCannotBeKept(std::string_view path);

// The thirteen CR LF lines of the file, decimal integers and 1/0 flags. FBold
// is 1 only for a style of exactly bold. A string value cannot span lines, so
// it is cut at its first CR, LF or NUL.
std::string formatSettings(const Settings &settings);

// Returns what the file holds now.
SettingsOnDisk writeSettings(const std::string &iniPath, const Settings &settings, const WriteFunction &write = {});

// Resolution.ini as one instance keeps it: in the folder captured at
// start-up, whatever the working directory is later, and with what it held
// when this instance last read or wrote it.
class SettingsFile
{
public:
    // The longest the close waits for another instance's save to end.
    static constexpr std::chrono::milliseconds LockWait{1000};
    explicit SettingsFile(std::chrono::milliseconds lockWait = LockWait) : m_lockWait(lockWait) {}

    // Removes the file's stale temporaries, then reads it.
    Settings load(const std::string &folder);
    const std::string &path() const { return m_path; }

    // The close's save. When another program (a second instance, an editor)
    // saved since, writing would silently undo that, so askReplace is asked
    // first; false from it keeps the other's file, and so does this. The
    // compare and the replace hold the folder's lock, so of two instances
    // closing at once the second sees the first's save. The question is asked
    // without the lock (no other close waits for this operator), and its Yes
    // holds for the file as it was asked about: changed again meanwhile, it is
    // asked about again. Throws as writeSettings does, and "I/O error 11"
    // (EAGAIN) when another holds the lock for all of lockWait.
    bool save(const Settings &settings, const std::function<bool()> &askReplace, const WriteFunction &write = {});

private:
    std::string m_path = settingsPath({});
    SettingsOnDisk m_seen;
    std::chrono::milliseconds m_lockWait;
};

// The close asks this before it replaces another program's save.
inline constexpr char ReplaceQuestion[] =
    "Resolution.ini has been changed by another program since start-up. Replace it with the settings of this window?";

// The error box's detail when the close could not save: which file it was.
std::string notSavedDetail(const std::string &iniPath);

// The error box text for a failed file operation's errno.
std::string fileErrorText(int error);

} // namespace scb
