#pragma once
// The preview memo: an editor over the 8-bit line model that feeds the rows.
// The model is the truth; the editor mirrors it (decoded for display) and
// writes the operator's edits back into it, encoded the way the text was read.

#include <QPlainTextEdit>

#include <string>

#include "core/PreviewLines.h"

class PreviewMemo : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit PreviewMemo(QWidget *parent = nullptr);

    // A display file is a few hundred bytes; a runaway one (megabytes, one
    // endless line) would hold the interface for seconds while the editor lays
    // it out. Past this size only the head is shown, read-only, so the full
    // text stays in the model and no edit can cut it short.
    static constexpr std::size_t MaxShownBytes = 64 * 1024;
    bool isTruncated() const { return m_truncated; }

    scb::PreviewLines &lines() { return m_lines; }
    const scb::PreviewLines &lines() const { return m_lines; }

    // Display form of 8-bit text, and the bytes an edited display text stands for.
    static QString toDisplay(const std::string &bytes);
    static std::string fromDisplay(const QString &text, bool utf8);

private:
    void mirrorModel();
    void takeEdits();

    scb::PreviewLines m_lines;
    std::string m_shown; // the model text the editor shows now
    bool m_utf8 = true;
    bool m_mirroring = false;
    bool m_truncated = false;
};
