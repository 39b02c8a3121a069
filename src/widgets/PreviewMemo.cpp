#include "widgets/PreviewMemo.h"

#include "core/TextCodec.h"

#include <QScrollBar>
#include <QTextCursor>

namespace {

// A lone CR is an ordinary character of a line in the model; the editor would
// take it for a line break, so it is shown as the visible CR symbol instead.
constexpr char16_t LoneCrSymbol = 0x240D;

QString joinForEditor(const std::vector<std::string> &lines, std::size_t from)
{
    QString out;
    for (std::size_t i = from; i < lines.size(); ++i) {
        if (i > from)
            out += u'\n';
        out += QString::fromStdString(lines[i]).replace(u'\r', QChar(LoneCrSymbol));
    }
    return out;
}

} // namespace

PreviewMemo::PreviewMemo(QWidget *parent) : QPlainTextEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(this, &QPlainTextEdit::textChanged, this, &PreviewMemo::takeEdits);
}

std::vector<std::string> PreviewMemo::editorLines() const
{
    std::vector<std::string> out;
    const QStringList lines = toPlainText().split(u'\n');
    out.reserve(static_cast<std::size_t>(lines.size()));
    for (QString line : lines)
        out.push_back(line.replace(QChar(LoneCrSymbol), u'\r').toStdString());
    return out;
}

void PreviewMemo::showLines(const scb::PreviewLines &lines)
{
    if (m_mirroring)
        return;
    const std::string &text = lines.text();
    m_mirroring = true;
    const scb::ShownText shown = lines.shown(MaxShownBytes);
    // Only whole new lines count as an append: text added to the last line
    // could change how that line reads.
    const bool appended = !shown.cut && !m_truncated && text.size() > m_shown.size()
                          && text.compare(0, m_shown.size(), m_shown) == 0
                          && (m_shown.empty() || text.compare(m_shown.size(), 2, "\r\n") == 0);
    if (shown.cut) {
        setPlainText(joinForEditor(shown.lines, 0)
                     + QStringLiteral("\n[... %1 more bytes not shown]").arg(shown.hiddenBytes));
        moveCursor(QTextCursor::Start);
    } else if (appended) {
        // An append moves the caret behind the new text, as typing would.
        const std::size_t from = m_shown.empty() ? 0 : m_storedLines.size();
        QTextCursor cursor(document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText((from > 0 ? QStringLiteral("\n") : QString()) + joinForEditor(shown.lines, from));
        setTextCursor(cursor);
    } else {
        // A whole-text replacement puts the caret at the start.
        setPlainText(joinForEditor(shown.lines, 0));
        moveCursor(QTextCursor::Start);
    }
    if (shown.cut != m_truncated) {
        m_truncated = shown.cut;
        setReadOnly(shown.cut);
    }
    m_shown = shown.cut ? std::string() : text;
    m_storedLines = shown.stored;
    // What the editor reports back, which is not always what it was given
    // (a no-break space comes back as a space): an untouched line is one that
    // still reads like this.
    m_editorLines = shown.cut ? std::vector<std::string>() : editorLines();
    m_mirroring = false;
}

void PreviewMemo::takeEdits()
{
    if (m_mirroring || m_truncated)
        return;
    m_mirroring = true;
    std::vector<std::string> editorText = editorLines();
    std::vector<std::string> stored = scb::encodeEditedLines(m_storedLines, m_editorLines, editorText);
    std::string text;
    for (std::size_t i = 0; i < stored.size(); ++i) {
        if (i > 0)
            text += "\r\n";
        text += stored[i];
    }
    // The model takes the text at once and comes back here, where the guard
    // keeps the editor as the operator left it.
    m_shown = text;
    emit edited(text);
    m_storedLines = std::move(stored);
    m_editorLines = std::move(editorText);
    m_mirroring = false;
}
