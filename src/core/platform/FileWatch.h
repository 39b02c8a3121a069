#pragma once
// Tells, without polling, when the display file has been finished by its
// writer: closed after writing, or renamed into place.
//
// The watch sits on the file's folder, not on the file, so a file replaced by
// a rename or deleted and made anew stays watched. While the folder is missing
// (deleted, renamed away, not made yet) its parent is watched for the folder's
// name instead, and readEvents() moves back onto the folder once it is there
// again; while the parent is missing too, each arm() tries afresh. Where the
// system refuses a watch, fd() is -1 and the caller's polling does the work.
//
// A watch made to follow writes also notes when a writer has changed the
// file and not yet closed it: that is what an exclusive read cannot learn
// from a lease on a file the reader does not own. It knows only what
// happened while it watched, so right after arm() it knows of no writer.

#include <string>
#include <utility>

#include "core/platform/UniqueFd.h"

namespace scb {

class FileWatch
{
public:
    explicit FileWatch(bool followWrites = false);
    FileWatch(const FileWatch &) = delete;
    FileWatch &operator=(const FileWatch &) = delete;

    // Watches the folder of path for that file name. Costs nothing when path
    // is the one already watched; an empty path watches nothing. Returns
    // whether the file's folder is under watch now (false also where no
    // watch exists, or while the folder is missing).
    bool arm(const std::string &path);
    void disarm();

    const std::string &path() const { return m_path; }
    bool folderWatched() const { return m_folderWd >= 0; }

    // Non-blocking descriptor that turns readable when events are pending;
    // -1 where no watch exists.
    int fd() const { return m_fd.get(); }

    // Drains the pending events. True when the watched name was finished
    // (closed after writing or moved in), when the folder was replaced or
    // appeared (it is watched again before returning), or when the kernel
    // dropped events: in each case a look at the file is due.
    bool readEvents();

    // arm(path), then readEvents(): what a reader does before each look.
    void follow(const std::string &path)
    {
        arm(path);
        readEvents();
    }

    // Whether any readEvents() since the last call saw a finish; clears that.
    // A reader that drains the events for its own ends (the writer check of
    // an exclusive read) leaves them here for whoever announces finishes.
    bool takeFinished() { return std::exchange(m_finished, false); }

    // Following writes: the file was changed since it was last closed after
    // writing, moved in, moved away or deleted, as far as the events read so
    // far tell. A bare truncate or an mtime-only touch also counts as a
    // change, and stays one until the next finish.
    bool writeUnfinished() const { return m_writeUnfinished; }

private:
    void addWatches();
    void removeWatches();

    UniqueFd m_fd;
    bool m_followWrites = false;
    bool m_writeUnfinished = false;
    bool m_finished = false;
    int m_folderWd = -1;
    int m_parentWd = -1;
    std::string m_path;
    std::string m_folder;
    std::string m_name;       // the file's name inside m_folder
    std::string m_folderName; // m_folder's name inside its parent
};

} // namespace scb
