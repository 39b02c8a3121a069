#include "core/Settings.h"

#include <cerrno>
#include <optional>
#include <string_view>

#include "core/Error.h"
#include "core/IniFile.h"
#include "core/platform/FolderLock.h"

namespace scb {

namespace {

constexpr std::string_view Section = "Settings";
constexpr std::string_view FileName = "Resolution.ini";

std::string oneLine(const std::string &value)
{
    return value.substr(0, value.find_first_of(std::string_view("\r\n\0", 3)));
}

SettingsOnDisk seenIn(std::string_view text)
{
    return SettingsOnDisk{std::hash<std::string_view>{}(text), text.empty()};
}

} // namespace

std::string settingsPath(const std::string &dir)
{
    std::string path = dir;
    if (!path.empty() && path.back() != '/')
        path += '/';
    path += FileName;
    return path;
}

Settings readSettings(const std::string &iniPath, SettingsOnDisk *seen)
{
    const IniFile ini = IniFile::load(iniPath);
    if (seen)
        *seen = seenIn(ini.text());
    const Settings defaults;
    Settings s;
    s.Screen.x = ini.readInteger(Section, "SLeft", defaults.Screen.x);
    s.Screen.y = ini.readInteger(Section, "STop", defaults.Screen.y);
    s.Screen.width = ini.readInteger(Section, "SWidth", defaults.Screen.width);
    s.Screen.height = ini.readInteger(Section, "SHeight", defaults.Screen.height);
    s.Look.BackColor = ini.readInteger(Section, "BColor", defaults.Look.BackColor);
    s.Look.ShowBorder = ini.readInteger(Section, "ShowBorder", 1) == 1;
    s.Look.Font.family = ini.readString(Section, "FName", defaults.Look.Font.family);
    s.Look.Font.size = ini.readInteger(Section, "FSize", defaults.Look.Font.size);
    s.Look.Font.bold = ini.readInteger(Section, "FBold", 1) == 1;
    s.Look.Font.italic = false;
    s.Look.Font.underline = false;
    s.Look.Font.strikeOut = false;
    s.Look.Font.color = ini.readInteger(Section, "FColor", defaults.Look.Font.color);
    s.DisplayFile = ini.readString(Section, "DisplayFile", "");
    s.Look.BackgroundImagePath = ini.readString(Section, "BackgroundImage", "");
    return s;
}

SettingsOnDisk onDisk(const std::string &iniPath)
{
    return seenIn(IniFile::load(iniPath).text());
}

bool rewrittenSince(const SettingsOnDisk &seen, const SettingsOnDisk &now)
{
    return !now.empty && now != seen;
}

std::optional<std::string> pathCannotBeKept(std::string_view path)
{
    if (path.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        return "The path holds a line break, which Resolution.ini cannot keep.";
    if (path.size() > IniMaxString)
        return "The path is longer than the " + std::to_string(IniMaxString) + " characters Resolution.ini can keep.";
    return std::nullopt;
}

std::string formatSettings(const Settings &s)
{
    std::string out;
    const auto line = [&out](std::string_view key, const std::string &value) {
        out += key;
        out += '=';
        out += value;
        out += "\r\n";
    };
    out += "[Settings]\r\n";
    line("SLeft", std::to_string(s.Screen.x));
    line("STop", std::to_string(s.Screen.y));
    line("SWidth", std::to_string(s.Screen.width));
    line("SHeight", std::to_string(s.Screen.height));
    line("BColor", std::to_string(s.Look.BackColor));
    line("ShowBorder", s.Look.ShowBorder ? "1" : "0");
    line("FName", oneLine(s.Look.Font.family));
    line("FSize", std::to_string(s.Look.Font.size));
    line("FBold", s.Look.Font.isExactlyBold() ? "1" : "0");
    line("FColor", std::to_string(s.Look.Font.color));
    line("DisplayFile", oneLine(s.DisplayFile));
    line("BackgroundImage", oneLine(s.Look.BackgroundImagePath));
    return out;
}

std::string fileErrorText(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return "File access denied";
    case EISDIR: // a folder in the file's place
        return "File access denied";
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
        return "Invalid filename";
    case ENOSPC:
    case EDQUOT:
        return "Disk full";
    default:
        return "I/O error " + std::to_string(error);
    }
}

std::string notSavedDetail(const std::string &iniPath)
{
    return "The settings could not be saved to " + iniPath + ".";
}

SettingsOnDisk writeSettings(const std::string &iniPath, const Settings &settings, const WriteFunction &write)
{
    // Cut, the path would name another file at the next start.
    for (const std::string *path : {&settings.DisplayFile, &settings.Look.BackgroundImagePath}) {
        if (const std::optional<std::string> why = pathCannotBeKept(*path))
            throw Error(*why);
    }
    const std::string data = formatSettings(settings);
    try {
        replaceFile(iniPath, data, write);
    } catch (const WriteRefused &e) {
        throw Error(fileErrorText(e.error()));
    }
    return seenIn(data);
}

Settings SettingsFile::load(const std::string &folder)
{
    m_path = settingsPath(folder);
    removeStaleTemporaries(m_path);
    return readSettings(m_path, &m_seen);
}

bool SettingsFile::save(const Settings &settings, const std::function<bool()> &askReplace, const WriteFunction &write)
{
    std::optional<SettingsOnDisk> approved;
    for (;;) {
        FolderLock lock(replacementFolder(m_path), m_lockWait);
        if (lock.outcome() == FolderLock::Outcome::Busy)
            throw Error(fileErrorText(EAGAIN));
        const SettingsOnDisk now = onDisk(m_path);
        if (rewrittenSince(m_seen, now) && now != approved) {
            lock.release();
            if (!askReplace())
                return false;
            approved = now;
            continue;
        }
        m_seen = writeSettings(m_path, settings, write);
        return true;
    }
}

} // namespace scb
