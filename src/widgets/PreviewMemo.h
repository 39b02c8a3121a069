#pragma once
// The preview memo: a view of the board model's 8-bit lines. It shows the lines
// it is given (each decoded the way the board decodes it) and hands the
// operator's edits back as a whole text, each edited line encoded the way the
// line it replaced was read; the model is the truth and decides.

#include <QPlainTextEdit>

#include <string>
#include <vector>

#include "core/PreviewLines.h"

class PreviewMemo : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit PreviewMemo(QWidget *parent = nullptr);

    // Past this size (see scb::MaxShownBytes), or with a line longer than a
    // board row keeps, only what fits is shown, read-only, so the full text
    // stays in the model and no edit can cut it short.
    static constexpr std::size_t MaxShownBytes = scb::MaxShownBytes;
    bool isTruncated() const { return m_truncated; }

    // Shows the model's lines; an append keeps the caret behind the new text.
    void showLines(const scb::PreviewLines &lines);

signals:
    // The operator changed the text: the bytes the edited text stands for.
    void edited(const std::string &text);

private:
    void takeEdits();
    // The editor's lines as UTF-8, with the lone-CR symbol turned back into CR.
    std::vector<std::string> editorLines() const;

    std::string m_shown; // the model text the editor shows now (empty when cut)
    // Per line shown: its bytes in the model and the editor's text for it, so
    // an edit re-encodes only the lines it touched.
    std::vector<std::string> m_storedLines;
    std::vector<std::string> m_editorLines;
    bool m_mirroring = false;
    bool m_truncated = false;
};
