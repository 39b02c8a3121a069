#pragma once
// Whole-file read that never sees a file while another program writes it.
//
// A read lease (F_SETLEASE F_RDLCK) fails with EAGAIN while any other process
// holds the file open for writing; the lease is held only for the read. Where
// no lease can be had (not the owner, network file systems) the read is
// accepted only when fstat before and after agree, and, on a local file
// system, when the reader's folder watch has not seen the file changed and
// left unclosed by its writer. That watch knows only what happened since it
// was first armed on the path, so a writer paused mid-write before then is
// not seen; the reader keeps one watch for all its reads. FIFOs, devices and
// folders fail at once without blocking.

#include <string>

#include "core/ReadFailure.h"

namespace scb {

class FileWatch;

// Throws ReadError on any failure. writers, when given, is the reader's watch
// made to follow writes (FileWatch(true)); it is armed on path and its events
// are taken in before and after the read.
std::string readFileExclusive(const std::string &path, FileWatch *writers = nullptr);

} // namespace scb
