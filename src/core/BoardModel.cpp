#include "core/BoardModel.h"

#include <utility>

namespace scb {

BoardModel::BoardModel(std::string text) : m_lines(std::move(text))
{
    m_lines.onChange = [this] {
        m_textChanged = true;
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
    m_textChanged = false;
    const TickResult tick = applySnapshot(state, std::move(snapshot), m_lines, env);
    change.textChanged = m_textChanged;
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

BoardChange BoardModel::edit(std::string text)
{
    BoardChange change;
    change.textChanged = m_lines.setText(std::move(text));
    return change;
}

} // namespace scb
