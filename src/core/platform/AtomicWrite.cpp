#include "core/platform/AtomicWrite.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/platform/FileRead.h"
#include "core/platform/UniqueFd.h"

namespace scb {

namespace {

constexpr std::string_view TemporarySuffix = ".tmp";

[[noreturn]] void fail(int error)
{
    throw WriteRefused(error);
}

// Closes and removes the temporary file on every way out except success.
struct TemporaryFile
{
    UniqueFd fd;
    std::string path;

    ~TemporaryFile() { discard(); }

    void discard()
    {
        fd.reset();
        if (!path.empty())
            ::unlink(path.c_str());
        path.clear();
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
    if (name.size() < baseName.size() + 2 + TemporarySuffix.size() || name[0] != '.'
        || name.substr(1, baseName.size()) != baseName || name[1 + baseName.size()] != '.'
        || !name.ends_with(TemporarySuffix))
        return std::nullopt;
    const std::size_t prefixSize = baseName.size() + 2;
    const std::string_view middle = name.substr(prefixSize, name.size() - prefixSize - TemporarySuffix.size());
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
int createTemporary(TemporaryFile &temp, const Placement &place, mode_t mode)
{
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        timespec now {};
        ::clock_gettime(CLOCK_REALTIME, &now);
        const std::string candidate = place.folderPrefix + "." + place.baseName + "." + std::to_string(::getpid())
            + "-" + std::to_string(counter++) + "-" + std::to_string(now.tv_nsec) + std::string(TemporarySuffix);
        UniqueFd fd(::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
        if (fd) {
            ::flock(fd.get(), LOCK_EX | LOCK_NB);
            temp.fd = std::move(fd);
            temp.path = candidate;
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

// A file kept elsewhere through a symbolic link stays there, but only a link
// of the running user's own (or root's) is followed: a link planted by
// someone else in a shared start folder must not aim the write.
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

// For the names beside a file: a link that is not followed is where it stands.
std::string targetOrPath(const std::string &path)
{
    try {
        return writeTarget(path);
    } catch (const WriteRefused &) {
        return path;
    }
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
// old file is kept in memory first, so a failure can put it back as it was; only a device that refuses to take back what it held a
// moment ago leaves the file mixed.
void rewriteInPlace(const std::string &target, const std::string &data, const WriteFunction &write)
{
    const UniqueFd file(::open(target.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!file)
        fail(errno);
    const int fd = file.get();
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        fail(errno);
    if (!S_ISREG(st.st_mode))
        fail(EACCES);

    // The whole old file, not only the part the new text covers: a shorter
    // text cuts the file before the sync, and a failing sync must not cost
    // the old file its end.
    const FileRead before = readToEnd(fd, st.st_size, NoReadLimit, OverLimit::Cut);
    if (before.status != FileReadStatus::Ok)
        fail(before.error != 0 ? before.error : EIO);

    int error = ::lseek(fd, 0, SEEK_SET) < 0 ? errno : writeFully(fd, data, write);
    if (error == 0 && ::ftruncate(fd, static_cast<off_t>(data.size())) != 0)
        error = errno;
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (error == 0)
        return;
    if (::lseek(fd, 0, SEEK_SET) == 0 && writeFully(fd, before.bytes, {}) == 0
        && ::ftruncate(fd, static_cast<off_t>(before.bytes.size())) == 0)
        ::fsync(fd);
    fail(error);
}

} // namespace

void replaceFile(const std::string &path, const std::string &data, const WriteFunction &write)
{
    const std::string target = writeTarget(path);
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

    // No more permission than the old file grants, from the first moment: a
    // private file must not be readable by others while it is written.
    TemporaryFile temp;
    if (const int error = createTemporary(temp, place, exists ? (old.st_mode & 0666) : 0666); error != 0) {
        // A folder the operator may not write, holding a file they may.
        if (exists && S_ISREG(old.st_mode) && (error == EACCES || error == EPERM)) {
            rewriteInPlace(target, data, write);
            return;
        }
        fail(error);
    }

    // Only root may give a file away. Another user's file that the operator
    // may write is rewritten in place instead, which keeps its owner and
    // group; a new file would silently become the operator's.
    if (exists && ::fchown(temp.fd.get(), old.st_uid, old.st_gid) != 0) {
        temp.discard();
        rewriteInPlace(target, data, write);
        return;
    }

    if (const int error = writeFully(temp.fd.get(), data, write); error != 0)
        fail(error);

    // After the owner: a change of owner clears set-id bits that this restores.
    if (exists && ::fchmod(temp.fd.get(), old.st_mode & 07777) != 0)
        fail(errno);
    if (::fsync(temp.fd.get()) != 0)
        fail(errno);
    if (const int error = temp.fd.close(); error != 0)
        fail(error);

    if (::rename(temp.path.c_str(), target.c_str()) != 0)
        fail(errno);
    temp.path.clear(); // renamed: nothing left to remove

    // Makes the rename itself durable; some file systems cannot sync a folder,
    // and the new file is in place either way.
    const UniqueFd folder(::open(place.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder)
        ::fsync(folder.get());
}

std::string replacementFolder(const std::string &path)
{
    return placementOf(targetOrPath(path)).folder;
}

void removeStaleTemporaries(const std::string &path)
{
    // A link not followed had nothing of ours written beside its target.
    const Placement place = placementOf(targetOrPath(path));
    const std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(place.folder.c_str()), ::closedir);
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir.get());
    std::vector<std::string> names;
    while (const dirent *entry = ::readdir(dir.get())) {
        if (temporaryWriter(entry->d_name, place.baseName))
            names.emplace_back(entry->d_name);
    }
    for (const std::string &name : names) {
        const pid_t writer = *temporaryWriter(name, place.baseName);
        if (writer == ::getpid() || ::kill(writer, 0) == 0 || errno == EPERM)
            continue; // its writer may still be at it
        const UniqueFd file(::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
        if (!file)
            continue;
        struct stat st {};
        if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
            continue;
        // A writer elsewhere (another machine on a shared folder, another pid
        // namespace) holds the lock even where its pid means nothing here.
        if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        struct stat named {};
        if (::fstatat(dirFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == st.st_dev
            && named.st_ino == st.st_ino)
            ::unlinkat(dirFd, name.c_str(), 0);
    }
}

} // namespace scb
