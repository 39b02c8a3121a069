#pragma once
// The preview's text: one 8-bit string with CR LF line breaks and a stored line
// count. It is the single source of the scoreboard's rows. A lone CR is an
// ordinary character; a lone LF becomes CR LF whenever the whole text is set.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/TextCodec.h"

namespace scb {

// The most of the text an editor shows (see PreviewLines::shown()). A display
// file is a few hundred bytes; a runaway one (megabytes, one endless line)
// would hold the interface for seconds while an editor lays it out.
inline constexpr std::size_t MaxShownBytes = 64 * 1024;

// A line as a board row holds it: its bytes and what the row shows of them
// (rowText). Never changed once made, and shared, so that the model, the grid
// and every view hold a runaway line once, and the interface thread neither
// copies nor decodes it.
struct RowLine
{
    std::string bytes;
    std::string shown;
};
using RowLinePtr = std::shared_ptr<const RowLine>;
RowLinePtr makeRowLine(std::string_view bytes);
// The same bytes: the same shared line at once, another one compared.
inline bool sameRow(const RowLinePtr &a, const RowLinePtr &b)
{
    return a == b || (a && b && a->bytes == b->bytes);
}

// What an editor shows of the text; see PreviewLines::shown().
struct ShownText
{
    std::vector<std::string> lines; // UTF-8, one entry per line shown
    std::vector<std::string> stored; // each shown line's bytes, when nothing is cut
    bool cut = false;               // some of the text is not shown
    std::size_t hiddenBytes = 0;    // bytes of the text not shown
};

class PreviewLines
{
public:
    PreviewLines() = default;
    explicit PreviewLines(std::string text);

    const std::string &text() const { return m_text; }

    // Replaces the whole text (normalising lone LFs) and recounts. Returns
    // false, and does nothing at all, when the normalised text is unchanged.
    // Notifies the observer after a change.
    bool setText(std::string text);

    int count() const { return m_count; }

    // Line i without its CR LF, without a copy; valid until the text next
    // changes. Empty for an index at or past the count. Cost grows with i,
    // not with the length of the text.
    std::string_view lineView(int i) const;

    // The lines as an editor shows them: each decoded by the line rule and
    // cut to what a board row keeps, all of it ending once maxBytes of the
    // text are shown, at a character boundary. When anything is cut the
    // editor must take no edits: they would write the shortened text back.
    ShownText shown(std::size_t maxBytes) const;

    // How line i reads (see lineCodec): decided on all of its bytes, once,
    // and kept.
    LineCodec codec(int i) const;

    // Line i as a row holds it (empty past the count); made once and kept.
    RowLinePtr rowLine(int i) const;

    // Finds and keeps what feeding the first `lines` lines and showing the
    // text will ask for, so that whoever takes this text over (take()) only
    // swaps it in. Costs one pass over those lines.
    void prepare(int lines) const;

    // Leaves room for `bytes` more, so that an append to a huge text does not
    // copy it.
    void reserveRoom(std::size_t bytes);

    // Takes other's text with what is known of its lines, keeping this one's
    // observer. Returns false, and does nothing, when the texts are equal.
    bool take(PreviewLines &&other);

    // Appends one line; returns the new count. Notifies the observer. A string
    // holding breaks is treated like a whole-text set of the appended part:
    // its lone LFs become CR LF and each of its breaks adds a line.
    int add(const std::string &s);

    // Called after every change of the text (set, add).
    std::function<void()> onChange;

private:
    void replace(std::string text, int count);

    std::string m_text;
    int m_count = 1;
    // Start offsets of lines already found; extended lazily by lineView().
    mutable std::vector<std::size_t> m_lineStarts;
    // Per line: 0 while unknown, else its LineCodec plus one.
    mutable std::vector<unsigned char> m_codecs;
    mutable std::vector<RowLinePtr> m_rowLines;
};

} // namespace scb
