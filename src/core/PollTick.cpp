#include "core/PollTick.h"

#include <algorithm>
#include <exception>
#include <string_view>

#include "core/FileStamp.h"
#include "core/Platform.h"
#include "core/TimeText.h"

namespace scb {

namespace {

constexpr int MarkerSkip = 0;
constexpr int DefaultSkip = 3;
constexpr int LastFedLine = 14;

} // namespace

RowUpdate feedRows(PreviewLines &lines)
{
    RowUpdate rows;
    const int n = lines.count();
    if (n < 3) {
        rows[0].emplace(BlankFileMessage);
        lines.add(BlankFileMessage);
        return rows;
    }

    const int skip = lines.lineView(0).find("TIME:") != std::string_view::npos ? MarkerSkip : DefaultSkip;
    const int lastIndex = std::min(n - 1, LastFedLine);
    int row = 0;
    for (int i = skip; i <= lastIndex && row < ScoreRows; ++i, ++row)
        rows[static_cast<std::size_t>(row)].emplace(lines.lineView(i));
    for (; row < ScoreRows; ++row)
        rows[static_cast<std::size_t>(row)].emplace(" ");
    return rows;
}

TickResult pollTick(DisplayState &state, const std::string &path, PreviewLines &lines,
                    const TickEnvironment &env)
{
    TickResult result;
    if (state.Starting) {
        state.Starting = false;
        result.applyLayout = true;
    }

    const FileStampPair stamp = stampAndFingerprint(path);
    const std::int32_t age = stamp.age;
    if (age == -1)
        return result;
    result.fileExists = true;

    // The two-second stamp alone misses a second rewrite inside the same step
    // (the competition program can rewrite the file several times a second),
    // and the scoreboard would then show stale results until the next change.
    // The fingerprint - identity, size and nanosecond times - sees it. Both are
    // taken before the read: a change during the read leaves them stale, which
    // only costs one extra reload at the next tick.
    const FileFingerprint &print = stamp.print;
    if (age != state.LastFileAge || print != state.LastFingerprint) {
        state.LastFileAge = age;
        state.LastFingerprint = print;
        try {
            lines.loadFromFile(path);
            result.reloaded = true;
        } catch (const std::exception &) {
            state.LastFileAge = 0;
            state.LastFingerprint = {};
            ++state.FailureCount;
            const std::tm now = env.now ? env.now() : localTime(std::time(nullptr));
            result.status = "Last Failure at " + timeText(now, env.timeSeparator)
                + "  Cnt:" + std::to_string(state.FailureCount);
            return result;
        }
    }

    result.rows = feedRows(lines);
    return result;
}

} // namespace scb
