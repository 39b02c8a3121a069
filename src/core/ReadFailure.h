#pragma once
// Why a read of the display file failed, as the operator is told.

#include <string>

#include "core/Error.h"

namespace scb {

enum class ReadFailure { None, Missing, AccessDenied, NotRegularFile, WriterBusy, Unreadable };

// The reason as the operator reads it, one short sentence; empty for None.
std::string readFailureText(ReadFailure reason);

// "Cannot open file " + path, with the reason beside it.
class ReadError : public Error
{
public:
    ReadError(const std::string &path, ReadFailure reason);
    ReadFailure reason() const { return m_reason; }

private:
    ReadFailure m_reason;
};

} // namespace scb
