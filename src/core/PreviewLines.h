#pragma once
// The preview's text: one 8-bit string with CR LF line breaks and a stored line
// count. It is the single source of the scoreboard's rows. A lone CR is an
// ordinary character; a lone LF becomes CR LF whenever the whole text is set.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace scb {

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

    // Line i without its CR LF; empty for an index at or past the count.
    // Cost grows with i, not with the length of the text.
    std::string line(int i) const;

    // The same line without a copy; valid until the text next changes.
    std::string_view lineView(int i) const;

    // The lines as an editor shows them: each decoded by the line rule and
    // cut to what a board row keeps, all of it ending once maxBytes of the
    // text are shown, at a character boundary. When anything is cut the
    // editor must take no edits: they would write the shortened text back.
    ShownText shown(std::size_t maxBytes) const;

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
    // Start offsets of lines already found; extended lazily by line().
    mutable std::vector<std::size_t> m_lineStarts;
};

} // namespace scb
