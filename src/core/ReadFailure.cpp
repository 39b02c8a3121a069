#include "core/ReadFailure.h"

namespace scb {

std::string readFailureText(ReadFailure reason)
{
    switch (reason) {
    case ReadFailure::None:
        return {};
    case ReadFailure::Missing:
        return "The file is missing.";
    case ReadFailure::AccessDenied:
        return "Permission denied.";
    case ReadFailure::NotRegularFile:
        return "Not a regular file.";
    case ReadFailure::WriterBusy:
        return "Its writer has the file open.";
    case ReadFailure::Unreadable:
        break;
    }
    return "The file could not be read.";
}

ReadError::ReadError(const std::string &path, ReadFailure reason)
    : Error("Cannot open file " + path), m_reason(reason)
{
}

} // namespace scb
