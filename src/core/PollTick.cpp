#include "core/PollTick.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "core/platform/Platform.h"
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
    for (int i = skip; i <= lastIndex && row < RowCount; ++i, ++row)
        rows[static_cast<std::size_t>(row)].emplace(lines.lineView(i));
    for (; row < RowCount; ++row)
        rows[static_cast<std::size_t>(row)].emplace(" ");
    return rows;
}

TickResult applySnapshot(DisplayState &state, FileSnapshot &&snapshot, PreviewLines &lines,
                         const TickEnvironment &env)
{
    TickResult result;
    if (snapshot.stamp.age == -1)
        return result;
    result.fileExists = true;

    if (snapshot.loadAttempted) {
        state.LastFileAge = snapshot.stamp.age;
        state.LastFingerprint = snapshot.stamp.print;
        if (snapshot.loadFailed()) {
            state.LastFileAge = 0;
            state.LastFingerprint = {};
            ++state.FailureCount;
            const std::tm now = env.now ? env.now() : localTime(std::time(nullptr));
            result.status = "Last Failure at " + timeText(now, env.timeSeparator)
                + "  Cnt:" + std::to_string(state.FailureCount);
            result.statusReason = readFailureText(snapshot.failure);
            return result;
        }
        lines.setText(std::move(snapshot.bytes));
        result.reloaded = true;
    }

    result.rows = feedRows(lines);
    return result;
}

} // namespace scb
