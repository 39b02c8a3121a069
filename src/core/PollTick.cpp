#include "core/PollTick.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace scb {

namespace {

constexpr int MarkerSkip = 0;
constexpr int DefaultSkip = 3;
constexpr int LastFedLine = 14;

} // namespace

RowUpdate feedRows(PreviewLines &lines)
{
    static const RowLinePtr blankFile = makeRowLine(BlankFileMessage);
    static const RowLinePtr blankRow = makeRowLine(" ");
    RowUpdate rows;
    const int n = lines.count();
    if (n < 3) {
        rows[0] = blankFile;
        lines.add(BlankFileMessage);
        return rows;
    }

    const int skip = lines.lineView(0).find("TIME:") != std::string_view::npos ? MarkerSkip : DefaultSkip;
    const int lastIndex = std::min(n - 1, LastFedLine);
    int row = 0;
    for (int i = skip; i <= lastIndex && row < RowCount; ++i, ++row)
        rows[static_cast<std::size_t>(row)] = lines.rowLine(i);
    for (; row < RowCount; ++row)
        rows[static_cast<std::size_t>(row)] = blankRow;
    return rows;
}

void prepareText(FileSnapshot &snapshot)
{
    if (!snapshot.loadAttempted || snapshot.loadFailed() || snapshot.text)
        return;
    PreviewLines lines(std::move(snapshot.bytes));
    snapshot.bytes = std::string();
    // The feed appends the blank-file message until the text has three
    // lines; with room for it the append copies nothing, however long the
    // text.
    if (lines.count() < 3)
        lines.reserveRoom(static_cast<std::size_t>(3 - lines.count()) * (2 + BlankFileMessage.size()));
    lines.prepare(LastFedLine + 1);
    snapshot.text.emplace(std::move(lines));
}

} // namespace scb
