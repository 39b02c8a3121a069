#include "core/platform/FileWatch.h"

#include <cstdint>
#include <filesystem>
#include <system_error>

#include <cerrno>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

namespace scb {

namespace {

// Closed after writing or moved in: the two ways a writer can be done with a
// name. A plain create is not enough; the writer is still filling the file.
constexpr std::uint32_t FileFinished = IN_CLOSE_WRITE | IN_MOVED_TO;
constexpr std::uint32_t FolderGone = IN_DELETE_SELF | IN_MOVE_SELF;
// Also reported, unasked, when a watch ends: the folder went away or its file
// system was unmounted.
constexpr std::uint32_t WatchEnded = IN_IGNORED;
constexpr std::uint32_t FolderArrived = IN_CREATE | IN_MOVED_TO;
// Following writes: a change starts a write, and the name's file is done with
// once finished or gone from the name.
constexpr std::uint32_t FileChanged = IN_MODIFY;
constexpr std::uint32_t FileDone = FileFinished | IN_DELETE | IN_MOVED_FROM;

} // namespace

FileWatch::FileWatch(bool followWrites)
    : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), m_followWrites(followWrites)
{
}

bool FileWatch::arm(const std::string &path)
{
    if (path == m_path) {
        // While even the folder's parent is missing nothing can tell when it
        // comes back, so each call tries again.
        if (m_fd && !path.empty() && m_folderWd < 0 && m_parentWd < 0)
            addWatches();
        return folderWatched();
    }
    m_path = path;
    m_writeUnfinished = false;

    std::string folder, name, folderName;
    if (!path.empty()) {
        const std::filesystem::path p(path);
        name = p.filename().string();
        std::filesystem::path dir = p.parent_path();
        if (dir.empty())
            dir = ".";
        std::error_code ec;
        std::filesystem::path absolute = std::filesystem::absolute(dir, ec);
        if (ec)
            absolute = dir;
        absolute = absolute.lexically_normal();
        if (absolute.has_filename() || absolute == absolute.root_path())
            folder = absolute.string();
        else
            folder = absolute.parent_path().string(); // "a/b/" normalises to "a/b/"
        folderName = std::filesystem::path(folder).filename().string();
    }

    // Another name in the same folder: the watches already see it.
    if (!name.empty() && folder == m_folder && m_folderWd >= 0) {
        m_name = name;
        return true;
    }
    removeWatches();
    m_folder = folder;
    m_name = name;
    m_folderName = folderName;
    if (m_fd && !m_name.empty())
        addWatches();
    return folderWatched();
}

void FileWatch::disarm()
{
    removeWatches();
    m_writeUnfinished = false;
    m_path.clear();
    m_folder.clear();
    m_name.clear();
    m_folderName.clear();
}

void FileWatch::addWatches()
{
    const std::uint32_t writes = m_followWrites ? FileChanged | FileDone : 0;
    const auto watchFolder = [this, writes] {
        m_folderWd = ::inotify_add_watch(m_fd.get(), m_folder.c_str(), FileFinished | FolderGone | writes | IN_ONLYDIR);
    };
    watchFolder();
    if (m_folderWd >= 0 || m_folderName.empty())
        return;
    // The folder is missing: wait for its name in the parent. The parent is
    // watched only meanwhile, so a busy parent costs nothing once it is back.
    const std::string parent = std::filesystem::path(m_folder).parent_path().string();
    m_parentWd = ::inotify_add_watch(m_fd.get(), parent.c_str(), FolderArrived | FolderGone | IN_ONLYDIR);
    if (m_parentWd < 0)
        return;
    watchFolder(); // it may have come between the two calls
    if (m_folderWd >= 0) {
        ::inotify_rm_watch(m_fd.get(), m_parentWd);
        m_parentWd = -1;
    }
}

void FileWatch::removeWatches()
{
    // A watch whose folder went away is gone already; the kernel then answers
    // EINVAL, which is fine.
    if (m_folderWd >= 0)
        ::inotify_rm_watch(m_fd.get(), m_folderWd);
    if (m_parentWd >= 0)
        ::inotify_rm_watch(m_fd.get(), m_parentWd);
    m_folderWd = -1;
    m_parentWd = -1;
}

bool FileWatch::readEvents()
{
    if (!m_fd)
        return false;
    bool finished = false;
    bool rearm = false;
    alignas(inotify_event) char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(m_fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        for (ssize_t at = 0; at < got;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            const char *name = buffer + at + sizeof event;
            at += static_cast<ssize_t>(sizeof event + event.len);
            const bool hasName = event.len > 0;
            const auto named = [&](const std::string &wanted) {
                return hasName && wanted == name; // the name is NUL-padded
            };

            if (event.mask & IN_Q_OVERFLOW) {
                // Events were dropped: what happened to the file or the folder
                // is unknown, so look at both afresh.
                finished = true;
                rearm = true;
            } else if (event.wd == m_folderWd && m_folderWd >= 0) {
                if ((event.mask & FileFinished) && named(m_name))
                    finished = true;
                if (m_followWrites && named(m_name)) {
                    if (event.mask & FileChanged)
                        m_writeUnfinished = true;
                    if (event.mask & FileDone)
                        m_writeUnfinished = false;
                }
                if (event.mask & (FolderGone | WatchEnded))
                    rearm = true;
            } else if (event.wd == m_parentWd && m_parentWd >= 0) {
                if ((event.mask & FolderArrived) && named(m_folderName))
                    rearm = true;
                if (event.mask & (FolderGone | WatchEnded))
                    rearm = true;
            }
            // Anything else belongs to a watch removed by an earlier arm().
        }
    }
    if (rearm && !m_name.empty()) {
        // A new folder may already hold a finished file that sent no event
        // to us, so a look is due as well. What a writer did meanwhile is
        // unknown: the watch starts afresh.
        m_writeUnfinished = false;
        removeWatches();
        addWatches();
        finished = true;
    }
    m_finished = m_finished || finished;
    return finished;
}

} // namespace scb
