#pragma once
// The file-system half of the poll tick, apart from the state it changes.
//
// lookAtFile() does the stat and, when the file changed since the last load,
// the exclusive read; it touches nothing else, so it can run on any thread.
// BackgroundLook runs one look at a time on a worker thread of its own, so a
// display file on a share that stopped answering stalls that worker only and
// never the caller. A stuck worker is left behind at destruction, never
// waited for. lookAtFile() run by a BackgroundLook's worker (also from inside
// an injected look) tells it when the stat has answered: the file system is
// alive, and the read that follows may take as long as its size needs.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "core/ExclusiveRead.h"
#include "core/FileStamp.h"

namespace scb {

struct FileSnapshot
{
    FileStampPair stamp;        // age -1: no file (or a folder); nothing read
    bool loadAttempted = false; // stamp or fingerprint differed: a read was made
    bool loadFailed = false;    // that read failed; bytes is empty
    ReadFailure failure = ReadFailure::None; // why it failed
    std::string bytes;          // the whole file when the read succeeded
};

// One stat; when the file exists and its age or fingerprint differ from the
// last ones, the whole-file exclusive read. A failed read is reported in the
// snapshot, not thrown.
FileSnapshot lookAtFile(const std::string &path, std::int32_t lastAge, const FileFingerprint &lastPrint);

class BackgroundLook
{
public:
    using LookFunction = std::function<FileSnapshot(const std::string &, std::int32_t, const FileFingerprint &)>;

    // An empty look function means lookAtFile.
    explicit BackgroundLook(LookFunction look = {});
    // Joins an idle worker; detaches one stuck in a look.
    ~BackgroundLook();
    BackgroundLook(const BackgroundLook &) = delete;
    BackgroundLook &operator=(const BackgroundLook &) = delete;

    // Used from the next start() on; an empty function means lookAtFile.
    void setLookFunction(LookFunction look);

    // Hands a look to the worker. False, and nothing done, while busy.
    bool start(std::string path, std::int32_t lastAge, FileFingerprint lastPrint);

    // The result once the look is done, waiting at most timeout for it; taking
    // it ends the busy time. nullopt when the look is still running or none
    // was started. An exception thrown by the look function is rethrown here.
    std::optional<FileSnapshot> waitFor(std::chrono::milliseconds timeout);

    // Waits like waitFor(wait); a look whose stat answered within that time
    // is then given readPerMiB for every started MiB of the file as well, since
    // a live file system finishes a large read, only more slowly.
    std::optional<FileSnapshot> waitWhileAnswering(std::chrono::milliseconds wait,
                                                   std::chrono::milliseconds readPerMiB);

    // From start() until waitFor() has handed out the result.
    bool busy() const;

    // What the caller and the worker share; opaque outside FileLook.cpp.
    struct Shared;

private:
    static void run(std::shared_ptr<Shared> shared);
    std::optional<FileSnapshot> take();

    LookFunction m_look;
    // Shared with the worker, which keeps it alive after a detach.
    std::shared_ptr<Shared> m_shared;
    std::thread m_worker; // started by the first look
};

} // namespace scb
