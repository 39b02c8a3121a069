#pragma once
// The file-system half of the poll tick, apart from the state it changes.
//
// lookAtFile() does the stat and, when the file changed since the last load,
// the exclusive read; it touches nothing else but the writer watch it is
// given, so it can run on any thread that owns that watch. The control window
// runs it on the display-file feed's worker, so a display file on
// a share that stopped answering stalls that worker only and never the
// interface; it tells the worker when the stat has answered, so that a large
// read that follows is not waited for either: it lands once it is done.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/PreviewLines.h"
#include "core/ReadFailure.h"
#include "core/FileStamp.h"

namespace scb {

class FileWatch;

struct FileSnapshot
{
    FileStampPair stamp;        // age -1: no file (or a folder); nothing read
    bool loadAttempted = false; // stamp or fingerprint differed: a read was made
    ReadFailure failure = ReadFailure::None; // why that read failed; bytes is then empty
    bool loadFailed() const { return failure != ReadFailure::None; }
    std::string bytes;          // the whole file when the read succeeded
    // The bytes as the preview's lines, once prepareText() (PollTick.h) has
    // taken them over on the worker.
    std::optional<PreviewLines> text;
};

// One stat; when the file exists and its age or fingerprint differ from the
// last ones, the whole-file exclusive read. A failed read is reported in the
// snapshot, not thrown. writers: the looker's folder watch following writes
// (see readFileExclusive), armed on path at every look.
FileSnapshot lookAtFile(const std::string &path, std::int32_t lastAge, const FileFingerprint &lastPrint,
                        FileWatch *writers = nullptr);

// lookAtFile, or what a test stands in for it.
using LookFunction =
    std::function<FileSnapshot(const std::string &, std::int32_t, const FileFingerprint &, FileWatch *)>;

} // namespace scb
