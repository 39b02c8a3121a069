#include "core/BoardModel.h"

#include <utility>

#include "core/TimeText.h"
#include "core/platform/Platform.h"

namespace scb {

BoardModel::BoardModel()
{
    m_lines.onChange = [this] {
        if (onTextChanged)
            onTextChanged();
    };
}

RowLinePtr BoardModel::rowLine(int r) const
{
    return r >= 0 && r < RowCount ? m_rows[static_cast<std::size_t>(r)] : nullptr;
}

BoardChange BoardModel::apply(FileSnapshot &&snapshot, const TickEnvironment &env)
{
    BoardChange change;
    if (snapshot.stamp.age == -1)
        return change;
    if (snapshot.loadAttempted) {
        if (snapshot.loadFailed()) {
            m_lastFileAge = 0;
            m_lastFingerprint = {};
            ++m_failureCount;
            const std::tm now = env.now ? env.now() : localTime(std::time(nullptr));
            m_status = "Last Failure at " + timeText(now, env.timeSeparator) + "  Cnt:" + std::to_string(m_failureCount);
            m_statusReason = readFailureText(snapshot.failure);
            change.statusChanged = true;
            return change;
        }
        m_lastFileAge = snapshot.stamp.age;
        m_lastFingerprint = snapshot.stamp.print;
        prepareText(snapshot);
        m_lines.take(std::move(*snapshot.text));
        change.reloaded = true;
    }

    const RowUpdate fed = feedRows(m_lines);
    for (std::size_t r = 0; r < RowCount; ++r) {
        const RowLinePtr &now = fed[r];
        if (!now)
            continue;
        change.rowsSet.set(r);
        if (!sameRow(m_rows[r], now))
            change.rowsChanged.set(r);
        m_rows[r] = now;
    }
    return change;
}

void BoardModel::edit(std::string text)
{
    m_lines.setText(std::move(text));
}

} // namespace scb
