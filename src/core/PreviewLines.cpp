#include "core/PreviewLines.h"

#include <utility>

#include "core/TextCodec.h"
#include "core/platform/Platform.h"

namespace scb {

namespace {

struct Normalised
{
    std::string text;
    int breaks = 0;
};

// One pass: counts the LFs and, only when some LF lacks its CR, builds the
// copy with the CRs inserted. Text that is already clean is moved, not copied.
Normalised normalise(std::string text)
{
    int breaks = 0;
    std::size_t loneLfs = 0;
    for (std::size_t pos = text.find('\n'); pos != std::string::npos; pos = text.find('\n', pos + 1)) {
        ++breaks;
        if (pos == 0 || text[pos - 1] != '\r')
            ++loneLfs;
    }
    if (loneLfs == 0)
        return {std::move(text), breaks};

    std::string out;
    reserveBuffer(out, text.size() + loneLfs);
    std::size_t from = 0;
    for (std::size_t pos = text.find('\n'); pos != std::string::npos; pos = text.find('\n', pos + 1)) {
        if (pos == 0 || text[pos - 1] != '\r') {
            out.append(text, from, pos - from);
            out.push_back('\r');
            from = pos; // the LF itself opens the next piece
        }
    }
    out.append(text, from, std::string::npos);
    return {std::move(out), breaks};
}

} // namespace

PreviewLines::PreviewLines(std::string text)
{
    Normalised n = normalise(std::move(text));
    m_text = std::move(n.text);
    m_count = n.breaks + 1;
}

void PreviewLines::replace(std::string text, int count)
{
    m_text = std::move(text);
    m_count = count;
    m_lineStarts.clear();
    m_codecs.clear();
    m_rowLines.clear();
    if (onChange)
        onChange();
}

bool PreviewLines::setText(std::string text)
{
    Normalised n = normalise(std::move(text));
    if (n.text == m_text)
        return false;
    replace(std::move(n.text), n.breaks + 1);
    return true;
}

std::string_view PreviewLines::lineView(int i) const
{
    if (i < 0 || i >= m_count)
        return {};
    // Starts are found once and kept, so fetching the first few lines of a
    // huge text costs those lines only, however often it is done.
    if (m_lineStarts.empty())
        m_lineStarts.push_back(0);
    const auto wanted = static_cast<std::size_t>(i) + (i + 1 < m_count ? 1 : 0);
    while (m_lineStarts.size() <= wanted) {
        const std::size_t lf = m_text.find('\n', m_lineStarts.back());
        if (lf == std::string::npos)
            break; // cannot happen while the count is right; stay safe anyway
        m_lineStarts.push_back(lf + 1);
    }
    const auto index = static_cast<std::size_t>(i);
    if (index >= m_lineStarts.size())
        return {};
    const std::size_t start = m_lineStarts[index];
    // Every stored LF has its CR, so the line ends two characters before the
    // next line's start.
    const std::size_t end = index + 1 < m_lineStarts.size() ? m_lineStarts[index + 1] - 2 : m_text.size();
    return std::string_view(m_text).substr(start, end - start);
}

LineCodec PreviewLines::codec(int i) const
{
    if (i < 0 || i >= m_count)
        return LineCodec::Utf8;
    const auto index = static_cast<std::size_t>(i);
    if (index >= m_codecs.size())
        m_codecs.resize(index + 1, 0);
    if (m_codecs[index] == 0)
        m_codecs[index] = static_cast<unsigned char>(static_cast<int>(lineCodec(lineView(i))) + 1);
    return static_cast<LineCodec>(m_codecs[index] - 1);
}

RowLinePtr makeRowLine(std::string_view bytes)
{
    return std::make_shared<const RowLine>(RowLine{std::string(bytes), rowText(bytes)});
}

RowLinePtr PreviewLines::rowLine(int i) const
{
    if (i < 0 || i >= m_count)
        return makeRowLine({});
    const auto index = static_cast<std::size_t>(i);
    if (index >= m_rowLines.size())
        m_rowLines.resize(index + 1);
    if (!m_rowLines[index]) {
        const std::string_view bytes = lineView(i);
        m_rowLines[index] = std::make_shared<const RowLine>(RowLine{std::string(bytes), rowText(bytes, codec(i))});
    }
    return m_rowLines[index];
}

void PreviewLines::prepare(int lines) const
{
    for (int i = 0; i < lines && i < m_count; ++i)
        (void)rowLine(i);
    (void)shown(MaxShownBytes);
}

void PreviewLines::reserveRoom(std::size_t bytes)
{
    reserveBuffer(m_text, m_text.size() + bytes);
}

bool PreviewLines::take(PreviewLines &&other)
{
    if (other.m_text == m_text)
        return false;
    // Swapped, not assigned: the old text goes with other.
    m_text.swap(other.m_text);
    m_count = other.m_count;
    m_lineStarts.swap(other.m_lineStarts);
    m_codecs.swap(other.m_codecs);
    m_rowLines.swap(other.m_rowLines);
    if (onChange)
        onChange();
    return true;
}

int PreviewLines::add(const std::string &s)
{
    Normalised n = normalise(s);
    if (m_text.empty()) {
        // The single empty line is replaced, not followed.
        if (n.text.empty())
            return m_count;
        m_text = std::move(n.text);
        m_count = n.breaks + 1;
        // Line 0 was the empty line: what was found of it is gone.
        m_codecs.clear();
        m_rowLines.clear();
    } else {
        m_text += "\r\n";
        m_text += n.text;
        m_count += n.breaks + 1;
    }
    // Appending moves no earlier line, so what is known of them stays valid.
    if (onChange)
        onChange();
    return m_count;
}

ShownText PreviewLines::shown(std::size_t maxBytes) const
{
    ShownText out;
    // Viewed first and copied only when nothing is cut: a runaway line is
    // never copied just to be dropped.
    std::vector<std::string_view> stored;
    std::size_t budget = maxBytes;
    std::size_t shownBytes = 0;
    for (int i = 0; i < m_count; ++i) {
        const std::string_view line = lineView(i);
        if (i > 0) {
            if (budget < 2) {
                out.cut = true;
                break;
            }
            budget -= 2; // the CR LF in front of it
            shownBytes += 2;
        }
        const LineCodec lineRead = codec(i);
        const std::size_t keep = lineCutPoint(line, lineRead, MaxRowChars, budget);
        if (keep < line.size())
            out.cut = true;
        const std::string_view head = line.substr(0, keep);
        out.lines.push_back(lineRead == LineCodec::Utf8 ? std::string(head) : windows1252ToUtf8(head));
        if (!out.cut)
            stored.push_back(line);
        budget -= keep;
        shownBytes += keep;
    }
    if (out.cut)
        out.hiddenBytes = m_text.size() - shownBytes;
    else
        out.stored.assign(stored.begin(), stored.end());
    return out;
}

} // namespace scb
