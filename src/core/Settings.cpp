#include "core/Settings.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/Error.h"
#include "core/IniFile.h"

namespace scb {

namespace {

constexpr std::string_view kSection = "Settings";
constexpr std::string_view kFileName = "Resolution.ini";

[[noreturn]] void fail(int error)
{
    throw Error(fileErrorText(error));
}

std::string oneLine(const std::string &value)
{
    return value.substr(0, value.find_first_of(std::string_view("\r\n\0", 3)));
}

// Closes and removes the temporary file on every way out except success.
struct TemporaryFile
{
    int fd = -1;
    std::string path;

    ~TemporaryFile()
    {
        if (fd >= 0)
            ::close(fd);
        if (!path.empty())
            ::unlink(path.c_str());
    }
};

// O_EXCL so that a stale or planted file of the same name is never reused.
void createTemporary(TemporaryFile &temp, const std::string &folderPrefix, const std::string &baseName)
{
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        timespec now {};
        ::clock_gettime(CLOCK_REALTIME, &now);
        const std::string candidate = folderPrefix + "." + baseName + "." + std::to_string(::getpid()) + "-"
            + std::to_string(counter++) + "-" + std::to_string(now.tv_nsec) + ".tmp";
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            temp.fd = fd;
            temp.path = candidate;
            return;
        }
        if (errno != EEXIST)
            fail(errno);
    }
    fail(EEXIST);
}

// A settings file kept elsewhere through a symbolic link stays there.
std::string resolvedTarget(const std::string &path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char *real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return path;
    std::string result(real);
    std::free(real);
    return result;
}

} // namespace

int clampSpin(int value)
{
    return std::clamp(value, 0, 9999);
}

std::string settingsPath(const std::string &dir)
{
    std::string path = dir;
    if (!path.empty() && path.back() != '/')
        path += '/';
    path += kFileName;
    return path;
}

Settings readSettings(const std::string &iniPath)
{
    const IniFile ini = IniFile::load(iniPath);
    const Settings defaults;
    Settings s;
    s.Left = ini.readInteger(kSection, "SLeft", defaults.Left);
    s.Top = ini.readInteger(kSection, "STop", defaults.Top);
    s.Width = ini.readInteger(kSection, "SWidth", defaults.Width);
    s.Height = ini.readInteger(kSection, "SHeight", defaults.Height);
    s.BackColor = ini.readInteger(kSection, "BColor", defaults.BackColor);
    s.ShowBorder = ini.readInteger(kSection, "ShowBorder", 1) == 1;
    s.Font.family = ini.readString(kSection, "FName", defaults.Font.family);
    s.Font.size = ini.readInteger(kSection, "FSize", defaults.Font.size);
    s.Font.bold = ini.readInteger(kSection, "FBold", 1) == 1;
    s.Font.italic = false;
    s.Font.underline = false;
    s.Font.strikeOut = false;
    s.Font.color = ini.readInteger(kSection, "FColor", defaults.Font.color);
    s.DisplayFile = ini.readString(kSection, "DisplayFile", "");
    s.BackgroundImage = ini.readString(kSection, "BackgroundImage", "");
    return s;
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

void writeSettings(const std::string &iniPath, const Settings &settings, const WriteFunction &write)
{
    const std::string target = resolvedTarget(iniPath);
    const std::size_t slash = target.rfind('/');
    const std::string folderPrefix = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string baseName = slash == std::string::npos ? target : target.substr(slash + 1);
    const std::string folder = slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/")
                                                                                            : target.substr(0, slash);

    // rename() would happily replace a read-only file, so ask first.
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT)
        fail(errno);
    if (exists) {
        if (S_ISDIR(old.st_mode))
            fail(EISDIR);
        if (::access(target.c_str(), W_OK) != 0)
            fail(errno);
    }

    TemporaryFile temp;
    createTemporary(temp, folderPrefix, baseName);

    const std::string data = formatSettings(settings);
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write ? write(temp.fd, data.data() + done, data.size() - done)
                                : ::write(temp.fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
        }
        if (n == 0) // no progress and no error: treat as a full disk rather than spin
            fail(ENOSPC);
        done += static_cast<std::size_t>(n);
    }

    if (exists) {
        // Owner first: a change of owner clears set-id bits that fchmod then restores.
        // Only root may give the file away, so a refusal is not an error.
        if (::fchown(temp.fd, old.st_uid, old.st_gid) != 0) {
        }
        if (::fchmod(temp.fd, old.st_mode & 07777) != 0)
            fail(errno);
    }
    if (::fsync(temp.fd) != 0)
        fail(errno);
    const int fd = temp.fd;
    temp.fd = -1;
    if (::close(fd) != 0)
        fail(errno);

    if (::rename(temp.path.c_str(), target.c_str()) != 0)
        fail(errno);
    temp.path.clear();

    // Makes the rename itself durable; some file systems cannot sync a folder,
    // and the new file is in place either way.
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

} // namespace scb
