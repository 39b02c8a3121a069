#pragma once
// The board's data in one place: the display file's text as the preview
// holds it, the twelve rows fed from it, the status report, and what the poll
// last saw of the file (its stamp and fingerprint) with the failed loads
// counted. A tick's snapshot or the operator's edit of the preview goes in;
// what changed comes out, and the views (preview, grid, status label, browser
// page) follow it. Nothing here knows a view, and no view writes here except
// through edit().

#include <array>
#include <bitset>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "core/Board.h"
#include "core/FileLook.h"
#include "core/FileStamp.h"
#include "core/PollTick.h"
#include "core/PreviewLines.h"

namespace scb {

struct BoardChange
{
    std::bitset<RowCount> rowsSet;    // rows the feed set: each repaints, even unchanged
    std::bitset<RowCount> rowsChanged; // of those, the ones whose bytes differ
    bool statusChanged = false;       // a failed read: a new report and reason
    bool reloaded = false;            // the file was read into the text (changed or not)
};

struct TickEnvironment
{
    std::function<std::tm()> now;       // local time, for the failure report
    char timeSeparator = ':';
};

class BoardModel
{
public:
    BoardModel();
    // The text's observer points back here.
    BoardModel(const BoardModel &) = delete;
    BoardModel &operator=(const BoardModel &) = delete;

    const PreviewLines &lines() const { return m_lines; }
    // Row r as the feed last set it, its bytes and what it shows of them;
    // null before the first feed.
    RowLinePtr rowLine(int r) const;
    const std::string &status() const { return m_status; }
    const std::string &statusReason() const { return m_statusReason; }

    // What the poll last saw: the file's stamp and fingerprint at its last
    // load (0 and none at start and after a failed load), and the failed
    // loads since start. The next look compares against the first two.
    std::int32_t LastFileAge() const { return m_lastFileAge; }
    const FileFingerprint &LastFingerprint() const { return m_lastFingerprint; }
    std::int32_t FailureCount() const { return m_failureCount; }

    // The tick's state-changing half: no file changes nothing; a read keeps
    // its stamp and fingerprint and takes its text (equal text: nothing
    // happens; a snapshot not prepared yet is prepared here), a failed one
    // forgets them, is counted and reported; then the rows are fed, whether
    // or not the file was read.
    BoardChange apply(FileSnapshot &&snapshot, const TickEnvironment &env);

    // The operator's edit of the preview: the text only; the rows follow at
    // the next tick, as they always have.
    void edit(std::string text);

    // Called at once at every change of the text, inside apply() or edit(),
    // so the preview follows each step (a set, then an appended line).
    std::function<void()> onTextChanged;

private:
    PreviewLines m_lines;
    std::array<RowLinePtr, RowCount> m_rows;
    std::string m_status;
    std::string m_statusReason;
    std::int32_t m_lastFileAge = 0;
    FileFingerprint m_lastFingerprint;
    std::int32_t m_failureCount = 0;
};

} // namespace scb
