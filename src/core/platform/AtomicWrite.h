#pragma once
// Replacing a small file as a whole or not at all.
//
// replaceFile() writes a temporary file beside the target, gives it the old
// file's owner and mode, syncs it and renames it over the old one, then syncs
// the folder. The temporary file never grants more than the old file does. A
// failure (read-only file, vanished folder, full disk) leaves the old file as
// it was and no temporary file behind. Where the folder refuses the temporary
// file, or the old file belongs to someone the temporary file cannot be given
// to, but the file itself may be written, the file is rewritten in place;
// should that fail, the old file is put back whole.
//
// Refused with EACCES, leaving every file as it is: a file without any write
// bit (root included), and a symbolic link (at any step of a chain) that
// belongs neither to the user running the program nor to root; another
// user's link could otherwise aim the write at any file the operator may
// write. A folder in the file's place is refused with EISDIR.

#include <cstddef>
#include <exception>
#include <functional>
#include <string>

#include <sys/types.h>

namespace scb {

// Stands in for ::write so that tests can make the disk fail or write short.
using WriteFunction = std::function<ssize_t(int fd, const void *data, std::size_t size)>;

// A system call refused the write; the caller words the error number.
class WriteRefused : public std::exception
{
public:
    explicit WriteRefused(int error) : m_error(error) {}
    int error() const { return m_error; }
    const char *what() const noexcept override { return "write refused"; }

private:
    int m_error;
};

// Throws WriteRefused.
void replaceFile(const std::string &path, const std::string &data, const WriteFunction &write = {});

// The folder replaceFile(path) writes in: path's own, or, for a link it
// follows, its target's.
std::string replacementFolder(const std::string &path);

// Removes the temporary files that an interrupted replaceFile() left beside
// path: only names it makes, only the running user's own, and only when
// neither the process named in the file nor any lock holder is alive. Never
// fails.
void removeStaleTemporaries(const std::string &path);

} // namespace scb
