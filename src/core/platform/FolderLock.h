#pragma once
// An advisory lock on a folder, taken by every program of ours that compares
// and then replaces a file in it, so that they take turns.
//
// The folder rather than the file: the file is replaced by a rename, so a
// lock on the old file's inode would guard a name that no longer refers to it.
// The folder's own descriptor needs no write permission (a folder the operator
// may not write, holding a file rewritten in place, is locked all the same),
// leaves no lock file behind, and offers no name another user could plant a
// link or a FIFO under. The kernel drops the lock with its holder, so a
// crashed program never keeps it.

#include <chrono>
#include <string>

#include "core/platform/UniqueFd.h"

namespace scb {

class FolderLock
{
public:
    enum class Outcome
    {
        Held,
        // Another holder kept it for the whole wait.
        Busy,
        // The folder cannot be opened or locked (gone, or a file system
        // without locks): the caller goes on without.
        Unavailable,
    };

    // Tries for up to wait, without blocking in the kernel.
    FolderLock(const std::string &folder, std::chrono::milliseconds wait);

    Outcome outcome() const { return m_outcome; }
    // Releases early; the destructor releases otherwise.
    void release() { m_fd.reset(); }

private:
    UniqueFd m_fd;
    Outcome m_outcome = Outcome::Unavailable;
};

} // namespace scb
