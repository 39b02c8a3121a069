#include "core/BoardModel.h"

#include <utility>

namespace scb {

BoardModel::BoardModel()
{
    m_lines.onChange = [this] {
        if (onTextChanged)
            onTextChanged();
    };
}

const std::string &BoardModel::row(int r) const
{
    static const std::string none;
    const RowLinePtr line = rowLine(r);
    return line ? line->bytes : none;
}

RowLinePtr BoardModel::rowLine(int r) const
{
    return r >= 0 && r < RowCount ? m_rows[static_cast<std::size_t>(r)] : nullptr;
}

BoardChange BoardModel::apply(DisplayState &state, FileSnapshot &&snapshot, const TickEnvironment &env)
{
    BoardChange change;
    const TickResult tick = applySnapshot(state, std::move(snapshot), m_lines, env);
    if (tick.status) {
        m_status = *tick.status;
        m_statusReason = tick.statusReason.value_or(std::string());
        change.statusChanged = true;
    }
    // The same shared line again is the same bytes; another one is compared.
    for (std::size_t r = 0; r < RowCount; ++r) {
        const RowLinePtr &now = tick.rows[r];
        if (!now)
            continue;
        change.rowsSet.set(r);
        if (m_rows[r] == now)
            continue;
        if (!m_rows[r] || m_rows[r]->bytes != now->bytes)
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
