#pragma once
// Whole-file read that never sees a file while another program writes it.
//
// Linux: a read lease (F_SETLEASE F_RDLCK) fails with EAGAIN while any other
// process holds the file open for writing; the lease is held only for the
// read. Where no lease can be had (not the owner, network file systems) the
// read is accepted only when fstat before and after agree. FIFOs, devices and
// folders fail at once without blocking. Windows: an open with no sharing.

#include <string>

namespace scb {

// Throws scb::Error("Cannot open file " + path) on any failure.
std::string readFileExclusive(const std::string &path);

} // namespace scb
