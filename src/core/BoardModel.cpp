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
    return r >= 0 && r < RowCount ? m_rows[static_cast<std::size_t>(r)] : none;
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
    // The rows view the preview's text: taken over before it changes again.
    for (std::size_t r = 0; r < RowCount; ++r) {
        if (!tick.rows[r])
            continue;
        change.rowsSet.set(r);
        if (m_rows[r] != *tick.rows[r]) {
            m_rows[r].assign(*tick.rows[r]);
            change.rowsChanged.set(r);
        }
    }
    return change;
}

void BoardModel::edit(std::string text)
{
    m_lines.setText(std::move(text));
}

} // namespace scb
