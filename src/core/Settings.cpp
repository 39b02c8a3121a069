#include "core/Settings.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <string_view>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/Error.h"
#include "core/IniFile.h"

namespace scb {

namespace {

constexpr std::string_view kSection = "Settings";
constexpr std::string_view kFileName = "Resolution.ini";
constexpr std::string_view kTemporarySuffix = ".tmp";

[[noreturn]] void fail(int error)
{
    throw Error(fileErrorText(error));
}

std::string oneLine(const std::string &value)
{
    return value.substr(0, value.find_first_of(std::string_view("\r\n\0", 3)));
}

SettingsOnDisk seenIn(std::string_view text)
{
    return SettingsOnDisk{std::hash<std::string_view>{}(text), text.empty()};
}

struct FdCloser
{
    int fd;
    ~FdCloser() { ::close(fd); }
};

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

// Where a file's temporaries go: its folder, and the names made from it.
struct Placement
{
    std::string folder;       // for opening the folder itself
    std::string folderPrefix; // prepended to a name in that folder
    std::string baseName;
};

Placement placementOf(const std::string &target)
{
    const std::size_t slash = target.rfind('/');
    if (slash == std::string::npos)
        return {".", "", target};
    return {slash == 0 ? std::string("/") : target.substr(0, slash), target.substr(0, slash + 1),
            target.substr(slash + 1)};
}

// "." + base + "." + pid "-" counter "-" nanoseconds + ".tmp": the pid lets a
// later start tell a dead writer's leftovers from a live writer's file.
std::optional<pid_t> temporaryWriter(std::string_view name, std::string_view baseName)
{
    if (name.size() < baseName.size() + 2 + kTemporarySuffix.size() || name[0] != '.'
        || name.substr(1, baseName.size()) != baseName || name[1 + baseName.size()] != '.'
        || !name.ends_with(kTemporarySuffix))
        return std::nullopt;
    const std::size_t prefixSize = baseName.size() + 2;
    const std::string_view middle = name.substr(prefixSize, name.size() - prefixSize - kTemporarySuffix.size());
    long long pid = 0;
    int fields = 0;
    bool digits = false;
    for (const char c : middle) {
        if (c == '-' && digits && fields < 2) {
            ++fields;
            digits = false;
        } else if (c >= '0' && c <= '9') {
            if (fields == 0) {
                pid = pid * 10 + (c - '0');
                if (pid > 0x7FFFFFFF)
                    return std::nullopt;
            }
            digits = true;
        } else {
            return std::nullopt;
        }
    }
    if (fields != 2 || !digits || pid <= 0)
        return std::nullopt;
    return static_cast<pid_t>(pid);
}

// O_EXCL so that a stale or planted file of the same name is never reused.
// The lock tells a later start that a live process still writes it. Returns
// 0, or the errno of the failed creation.
int createTemporary(TemporaryFile &temp, const Placement &place)
{
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        timespec now {};
        ::clock_gettime(CLOCK_REALTIME, &now);
        const std::string candidate = place.folderPrefix + "." + place.baseName + "." + std::to_string(::getpid())
            + "-" + std::to_string(counter++) + "-" + std::to_string(now.tv_nsec) + std::string(kTemporarySuffix);
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            temp.fd = fd;
            temp.path = candidate;
            ::flock(fd, LOCK_EX | LOCK_NB);
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

// A settings file kept elsewhere through a symbolic link stays there, but
// only a link of the running user's own (or root's) is followed: a link
// planted by someone else in a shared start folder must not aim the write.
std::string writeTarget(const std::string &path)
{
    std::string current = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        if (st.st_uid != ::geteuid() && st.st_uid != 0)
            fail(EACCES);
        std::string link(4096, '\0');
        const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
        if (n < 0)
            fail(errno);
        if (static_cast<std::size_t>(n) >= link.size())
            fail(ENAMETOOLONG);
        link.resize(static_cast<std::size_t>(n));
        current = link.starts_with('/') ? link : placementOf(current).folderPrefix + link;
    }
    fail(ELOOP);
}

// Root passes access() whatever the bits say; a file that grants nobody the
// right to write stays unwritten for root as well.
void requireWritable(const std::string &target, const struct stat &st)
{
    if (::access(target.c_str(), W_OK) != 0)
        fail(errno);
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        fail(EACCES);
}

// Writes data at the descriptor's offset; 0 or the errno of the failure.
int writeFully(int fd, const std::string &data, const WriteFunction &write)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write ? write(fd, data.data() + done, data.size() - done)
                                : ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0) // no progress and no error: treat as a full disk rather than spin
            return ENOSPC;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// For a folder that refuses new names: the file itself is overwritten. The
// bytes about to be overwritten are kept, so a failure can put the old file
// back as it was; only a device that refuses to take back what it held a
// moment ago leaves the file mixed.
void rewriteInPlace(const std::string &target, const std::string &data, const WriteFunction &write)
{
    const int fd = ::open(target.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        fail(errno);
    const FdCloser closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        fail(errno);
    if (!S_ISREG(st.st_mode))
        fail(EACCES);

    std::string before(std::min(static_cast<std::size_t>(st.st_size), data.size()), '\0');
    for (std::size_t got = 0; got < before.size();) {
        const ssize_t n = ::pread(fd, before.data() + got, before.size() - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail(n < 0 ? errno : EIO);
        got += static_cast<std::size_t>(n);
    }

    int error = ::lseek(fd, 0, SEEK_SET) < 0 ? errno : writeFully(fd, data, write);
    if (error == 0 && ::ftruncate(fd, static_cast<off_t>(data.size())) != 0)
        error = errno;
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (error == 0)
        return;
    if (::lseek(fd, 0, SEEK_SET) == 0 && writeFully(fd, before, {}) == 0 && ::ftruncate(fd, st.st_size) == 0)
        ::fsync(fd);
    fail(error);
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

Settings readSettings(const std::string &iniPath, SettingsOnDisk *seen)
{
    const IniFile ini = IniFile::load(iniPath);
    if (seen)
        *seen = seenIn(ini.text());
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

bool rewrittenSince(const SettingsOnDisk &seen, const std::string &iniPath)
{
    const SettingsOnDisk now = seenIn(IniFile::load(iniPath).text());
    return !now.empty && now != seen;
}

std::optional<std::string> pathCannotBeKept(std::string_view path)
{
    if (path.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        return "The path holds a line break, which Resolution.ini cannot keep.";
    if (path.size() > kIniMaxString)
        return "The path is longer than the " + std::to_string(kIniMaxString) + " characters Resolution.ini can keep.";
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

SettingsOnDisk writeSettings(const std::string &iniPath, const Settings &settings, const WriteFunction &write)
{
    // Cut, the path would name another file at the next start.
    for (const std::string *path : {&settings.DisplayFile, &settings.BackgroundImage}) {
        if (const std::optional<std::string> why = pathCannotBeKept(*path))
            throw Error(*why);
    }
    const std::string target = writeTarget(iniPath);
    const Placement place = placementOf(target);

    // rename() would happily replace a read-only file, so ask first.
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT)
        fail(errno);
    if (exists) {
        if (S_ISDIR(old.st_mode))
            fail(EISDIR);
        requireWritable(target, old);
    }

    const std::string data = formatSettings(settings);
    TemporaryFile temp;
    if (const int error = createTemporary(temp, place); error != 0) {
        // A folder the operator may not write, holding a file they may.
        if (exists && S_ISREG(old.st_mode) && (error == EACCES || error == EPERM)) {
            rewriteInPlace(target, data, write);
            return seenIn(data);
        }
        fail(error);
    }

    if (const int error = writeFully(temp.fd, data, write); error != 0)
        fail(error);

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
    const int dirFd = ::open(place.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return seenIn(data);
}

void removeStaleTemporaries(const std::string &iniPath)
{
    std::string target = iniPath;
    try {
        target = writeTarget(iniPath);
    } catch (const Error &) {
        // Not followed, so nothing of ours was ever written there.
    }
    const Placement place = placementOf(target);
    DIR *dir = ::opendir(place.folder.c_str());
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir);
    std::vector<std::string> names;
    while (const dirent *entry = ::readdir(dir)) {
        if (temporaryWriter(entry->d_name, place.baseName))
            names.emplace_back(entry->d_name);
    }
    for (const std::string &name : names) {
        const pid_t writer = *temporaryWriter(name, place.baseName);
        if (writer == ::getpid() || ::kill(writer, 0) == 0 || errno == EPERM)
            continue; // its writer may still be at it
        const int fd = ::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0)
            continue;
        const FdCloser closer{fd};
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
            continue;
        // A writer elsewhere (another machine on a shared folder, another pid
        // namespace) holds the lock even where its pid means nothing here.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
            continue;
        struct stat named {};
        if (::fstatat(dirFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == st.st_dev
            && named.st_ino == st.st_ino)
            ::unlinkat(dirFd, name.c_str(), 0);
    }
    ::closedir(dir);
}

} // namespace scb
