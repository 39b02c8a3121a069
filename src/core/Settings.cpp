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

SettingsOnDisk onDisk(const std::string &iniPath)
{
    return seenIn(IniFile::load(iniPath).text());
}

bool rewrittenSince(const SettingsOnDisk &seen, const SettingsOnDisk &now)
{
    return !now.empty && now != seen;
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
    s.Left = ini.readInteger(Section, "SLeft", defaults.Left);
    s.Top = ini.readInteger(Section, "STop", defaults.Top);
    s.Width = ini.readInteger(Section, "SWidth", defaults.Width);
    s.Height = ini.readInteger(Section, "SHeight", defaults.Height);
    s.BackColor = ini.readInteger(Section, "BColor", defaults.BackColor);
    s.ShowBorder = ini.readInteger(Section, "ShowBorder", 1) == 1;
    s.Font.family = ini.readString(Section, "FName", defaults.Font.family);
    s.Font.size = ini.readInteger(Section, "FSize", defaults.Font.size);
    s.Font.bold = ini.readInteger(Section, "FBold", 1) == 1;
    s.Font.italic = false;
    s.Font.underline = false;
    s.Font.strikeOut = false;
    s.Font.color = ini.readInteger(Section, "FColor", defaults.Font.color);
    s.DisplayFile = ini.readString(Section, "DisplayFile", "");
    s.BackgroundImage = ini.readString(Section, "BackgroundImage", "");
    return s;
}

bool rewrittenSince(const SettingsOnDisk &seen, const std::string &iniPath)
{
    return rewrittenSince(seen, onDisk(iniPath));
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
    line("SLeft", std::to_string(s.Left));
    line("STop", std::to_string(s.Top));
    line("SWidth", std::to_string(s.Width));
    line("SHeight", std::to_string(s.Height));
    line("BColor", std::to_string(s.BackColor));
    line("ShowBorder", s.ShowBorder ? "1" : "0");
    line("FName", oneLine(s.Font.family));
    line("FSize", std::to_string(s.Font.size));
    line("FBold", s.Font.isExactlyBold() ? "1" : "0");
    line("FColor", std::to_string(s.Font.color));
    line("DisplayFile", oneLine(s.DisplayFile));
    line("BackgroundImage", oneLine(s.BackgroundImage));
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
    for (const std::string *path : {&settings.DisplayFile, &settings.BackgroundImage}) {
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
