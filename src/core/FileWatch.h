#pragma once
// Tells, without polling, when the display file has been finished by its
// writer: closed after writing, or renamed into place.
//
// The watch sits on the file's folder, not on the file, so a file replaced by
// a rename or deleted and made anew stays watched. While the folder is missing
// (deleted, renamed away, not made yet) its parent is watched for the folder's
// name instead, and readEvents() moves back onto the folder once it is there
// again; while the parent is missing too, each arm() tries afresh. Only Linux
// (inotify) has a watch; elsewhere fd() is -1 and the caller's polling does
// the work.

#include <string>

namespace scb {

class FileWatch
{
public:
    FileWatch();
    ~FileWatch();
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
    int fd() const { return m_fd; }

    // Drains the pending events. True when the watched name was finished
    // (closed after writing or moved in), when the folder was replaced or
    // appeared (it is watched again before returning), or when the kernel
    // dropped events: in each case a look at the file is due.
    bool readEvents();

private:
    void addWatches();
    void removeWatches();

    int m_fd = -1;
    int m_folderWd = -1;
    int m_parentWd = -1;
    std::string m_path;
    std::string m_folder;
    std::string m_name;       // the file's name inside m_folder
    std::string m_folderName; // m_folder's name inside its parent
};

} // namespace scb
