// The preview's line model and the row feed against arbitrary text and edit
// sequences. After every step the stored text must hold CR LF breaks only,
// the count must match them, and the lines must join back into the text.

#include "core/PollTick.h"
#include "core/PreviewLines.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkInvariants(const scb::PreviewLines &lines)
{
    const std::string &text = lines.text();
    int breaks = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            check(i > 0 && text[i - 1] == '\r');
            ++breaks;
        }
    }
    check(lines.count() == breaks + 1);

    // Fetch in a scrambled order too: the line cache must not depend on it.
    std::string joined;
    std::vector<std::string> forward;
    for (int i = 0; i < lines.count(); ++i) {
        if (i > 0)
            joined += "\r\n";
        forward.emplace_back(lines.lineView(i));
        joined += forward.back();
    }
    check(joined == text);
    for (int i = lines.count() - 1; i >= 0; i -= 3)
        check(lines.lineView(i) == forward[static_cast<std::size_t>(i)]);
    check(lines.lineView(lines.count()).empty());
    check(lines.lineView(-1).empty());
}

void checkFeed(scb::PreviewLines &lines)
{
    const int before = lines.count();
    const std::string firstLine(lines.lineView(0));
    std::string lineCopies[15];
    for (int i = 0; i < 15; ++i)
        lineCopies[i] = lines.lineView(i);
    const scb::RowUpdate rows = scb::feedRows(lines);
    checkInvariants(lines);
    if (before < 3) {
        check(rows[0] && rows[0]->bytes == scb::BlankFileMessage);
        check(lines.count() == (before == 1 && lines.text() == scb::BlankFileMessage ? 1 : before + 1));
        for (int r = 1; r < scb::RowCount; ++r)
            check(!rows[r]);
        return;
    }
    check(lines.count() == before);
    const int skip = firstLine.find("TIME:") != std::string::npos ? 0 : 3;
    for (int r = 0; r < scb::RowCount; ++r) {
        check(rows[r] != nullptr);
        const int i = r + skip;
        if (i < before && i <= 14)
            check(rows[r]->bytes == lineCopies[i]);
        else
            check(rows[r]->bytes == " ");
    }
}

} // namespace

// Input: a text, then edit commands separated by a 0xFF byte; each command's
// first byte picks the operation and the rest is its argument.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char *>(data), size);
    std::size_t cut = input.find('\xFF');
    scb::PreviewLines lines;
    int changes = 0;
    lines.onChange = [&changes] { ++changes; };
    const std::string initial(input.substr(0, cut));
    const bool changed = lines.setText(initial);
    check(changed == !initial.empty());
    check(changes == (changed ? 1 : 0));
    checkInvariants(lines);

    int steps = 0;
    while (cut != std::string_view::npos && steps++ < 64) {
        input.remove_prefix(cut + 1);
        cut = input.find('\xFF');
        std::string_view command = input.substr(0, cut);
        if (command.empty())
            continue;
        const char op = command.front();
        command.remove_prefix(1);
        const std::string arg(command);
        switch (static_cast<unsigned char>(op) % 4) {
        case 0: {
            const int before = lines.count();
            const std::string old = lines.text();
            const int result = lines.add(arg);
            check(result == lines.count());
            if (old.empty())
                check(arg.find('\n') != std::string::npos || result == 1);
            else
                check(result > before && lines.text().starts_with(old));
            break;
        }
        case 1: {
            const std::string old = lines.text();
            const int count = lines.count();
            const int seen = changes;
            if (!lines.setText(arg)) {
                check(lines.text() == old && lines.count() == count && changes == seen);
            } else {
                check(changes == seen + 1);
            }
            // Setting the same text again is no change at all.
            check(!lines.setText(lines.text()));
            break;
        }
        case 2:
            checkFeed(lines);
            break;
        default:
            for (unsigned char c : arg)
                (void)lines.lineView(c % (lines.count() + 2) - 1);
            break;
        }
        checkInvariants(lines);
    }
    checkFeed(lines);
    return 0;
}
