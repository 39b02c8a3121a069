#pragma once
// Whole-file read that never sees a file while another program writes it.
//
// A read lease (F_SETLEASE F_RDLCK) fails with EAGAIN while any other process
// holds the file open for writing; the lease is held only for the read. Where
// no lease can be had (not the owner, network file systems) the read is
// accepted only when fstat before and after agree, and, on a local file
// system, when the folder watch of the reading thread has not seen the file
// changed and left unclosed by its writer. That watch starts with the first
// read or followWriters() of a path on the thread, so a writer paused
// mid-write before then is not seen. FIFOs, devices and folders fail at once
// without blocking.

#include <string>

#include "core/ReadFailure.h"

namespace scb {

// Throws ReadError on any failure.
std::string readFileExclusive(const std::string &path);

// Points the calling thread's watch for writers at path's folder and takes in
// what it saw, so a writer who starts between two reads is known at the
// second. Cheap when the path is unchanged; the poll tick calls it each time.
void followWriters(const std::string &path);

} // namespace scb
