#include "widgets/PreviewMemo.h"

#include "core/TextCodec.h"

#include <QScrollBar>
#include <QTextCursor>

namespace {

// A lone CR is an ordinary character of a line in the model; the editor would
// take it for a line break, so it is shown as the visible CR symbol instead.
constexpr char16_t LoneCrSymbol = 0x240D;

} // namespace

PreviewMemo::PreviewMemo(QWidget *parent) : QPlainTextEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_lines.onChange = [this] { mirrorModel(); };
    connect(this, &QPlainTextEdit::textChanged, this, &PreviewMemo::takeEdits);
}

QString PreviewMemo::toDisplay(const std::string &bytes)
{
    const QString decoded = QString::fromStdString(scb::displayUtf8(bytes));
    QString out;
    out.reserve(decoded.size());
    for (qsizetype i = 0; i < decoded.size(); ++i) {
        const QChar c = decoded.at(i);
        if (c == u'\r') {
            if (i + 1 < decoded.size() && decoded.at(i + 1) == u'\n')
                continue; // the LF that follows makes the break
            out += QChar(LoneCrSymbol);
        } else {
            out += c;
        }
    }
    return out;
}

std::string PreviewMemo::fromDisplay(const QString &text, bool utf8)
{
    QString plain;
    plain.reserve(text.size() + text.size() / 16);
    for (const QChar c : text) {
        if (c == u'\n')
            plain += QStringLiteral("\r\n");
        else if (c == QChar(LoneCrSymbol))
            plain += u'\r';
        else
            plain += c;
    }
    const std::string utf8Bytes = plain.toStdString();
    return utf8 ? utf8Bytes : scb::utf8ToWindows1252(utf8Bytes);
}

void PreviewMemo::mirrorModel()
{
    if (m_mirroring)
        return;
    const std::string &text = m_lines.text();
    m_mirroring = true;
    const bool oversized = text.size() > MaxShownBytes;
    const bool appended = !oversized && !m_truncated && text.size() > m_shown.size()
                          && text.compare(0, m_shown.size(), m_shown) == 0 && m_utf8 == scb::isValidUtf8(text);
    if (oversized) {
        const std::string head = text.substr(0, MaxShownBytes);
        m_utf8 = scb::isValidUtf8(head);
        setPlainText(toDisplay(head) + QStringLiteral("\n[... %1 more bytes not shown]").arg(text.size() - head.size()));
        moveCursor(QTextCursor::Start);
    } else if (appended) {
        // An append moves the caret behind the new text, as typing would.
        QTextCursor cursor(document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(toDisplay(text.substr(m_shown.size())));
        setTextCursor(cursor);
    } else {
        // A whole-text replacement puts the caret at the start.
        m_utf8 = scb::isValidUtf8(text);
        setPlainText(toDisplay(text));
        moveCursor(QTextCursor::Start);
    }
    if (oversized != m_truncated) {
        m_truncated = oversized;
        setReadOnly(oversized);
    }
    m_shown = oversized ? std::string() : text;
    m_mirroring = false;
}

void PreviewMemo::takeEdits()
{
    if (m_mirroring || m_truncated)
        return;
    m_mirroring = true;
    m_lines.setText(fromDisplay(toPlainText(), m_utf8));
    m_shown = m_lines.text();
    m_mirroring = false;
}
