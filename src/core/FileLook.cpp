#include "core/FileLook.h"

#include <exception>

#include "core/BoundedCall.h"
#include "core/platform/ExclusiveRead.h"
#include "core/platform/FileWatch.h"

namespace scb {

FileSnapshot lookAtFile(const std::string &path, std::int32_t lastAge, const FileFingerprint &lastPrint,
                        FileWatch *writers)
{
    FileSnapshot snapshot;
    // The two-second stamp alone misses a second rewrite inside the same step
    // (the competition program can rewrite the file several times a second),
    // and the scoreboard would then show stale results until the next change.
    // The fingerprint - identity, size and nanosecond times - sees it. Both are
    // taken before the read: a change during the read leaves them stale, which
    // only costs one extra reload at the next tick.
    snapshot.stamp = stampAndFingerprint(path);
    const bool unchanged = snapshot.stamp.age == -1
        || (snapshot.stamp.age == lastAge && snapshot.stamp.print == lastPrint);
    workAhead(unchanged ? 0 : snapshot.stamp.print.size);
    // Every tick, so that the write a writer starts between two loads is
    // known when the second one reads.
    if (writers)
        writers->follow(path);
    if (unchanged)
        return snapshot;
    snapshot.loadAttempted = true;
    try {
        snapshot.bytes = readFileExclusive(path, writers);
    } catch (const ReadError &e) {
        snapshot.failure = e.reason();
        snapshot.bytes.clear();
    } catch (const std::exception &) {
        snapshot.failure = ReadFailure::Unreadable;
        snapshot.bytes.clear();
    }
    return snapshot;
}

} // namespace scb
