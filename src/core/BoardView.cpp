#include "core/BoardView.h"

#include "core/TextCodec.h"

#include <cstdio>

namespace scb {

const std::string &BoardView::rowText(int r) const
{
    static const std::string none;
    const RowLinePtr &line = rows[static_cast<std::size_t>(r)];
    return line ? line->shown : none;
}

bool BoardView::operator==(const BoardView &other) const
{
    if (style != other.style || picture != other.picture || shown != other.shown)
        return false;
    for (int r = 0; r < RowCount; ++r) {
        if (rows[static_cast<std::size_t>(r)] != other.rows[static_cast<std::size_t>(r)]
            && rowText(r) != other.rowText(r))
            return false;
    }
    return true;
}

BoardPublication::BoardPublication() : m_json(boardJson(m_view, m_version, m_pictureVersion)) {}

bool BoardPublication::update(const BoardView &view)
{
    if (view == m_view)
        return false;
    if (view.picture != m_view.picture)
        ++m_pictureVersion;
    m_view = view;
    ++m_version;
    m_json = boardJson(m_view, m_version, m_pictureVersion);
    return true;
}

std::string colorHex(Color c)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", colorRed(c), colorGreen(c), colorBlue(c));
    return buf;
}

std::string jsonString(std::string_view text)
{
    const std::string utf8 = decodeLine(text);
    std::string out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (const char ch : utf8) {
        const auto b = static_cast<unsigned char>(ch);
        switch (ch) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (b < 0x20 || b == 0x7F) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", b);
                out += buf;
            } else {
                out += ch;
            }
        }
    }
    out += '"';
    return out;
}

namespace {

const char *boolText(bool b)
{
    return b ? "true" : "false";
}

} // namespace

std::string boardJson(const BoardView &view, std::uint64_t version, std::uint64_t pictureVersion)
{
    const BoardStyle &s = view.style;
    std::string out = "{\"version\":" + std::to_string(version) + ",\"shown\":" + boolText(view.shown) + ",\"rows\":[";
    for (int r = 0; r < RowCount; ++r) {
        if (r > 0)
            out += ',';
        out += jsonString(view.rowText(r));
    }
    out += "],\"style\":{\"fontFamily\":" + jsonString(s.fontFamily);
    out += std::string(",\"bold\":") + boolText(s.bold) + ",\"italic\":" + boolText(s.italic)
        + ",\"underline\":" + boolText(s.underline) + ",\"strikeOut\":" + boolText(s.strikeOut);
    out += ",\"fontPixelSize\":" + std::to_string(s.fontPixelSize) + ",\"rowHeight\":" + std::to_string(s.rowHeight);
    out += ",\"textColor\":\"" + colorHex(s.textColor) + "\",\"backColor\":\"" + colorHex(s.backColor) + "\"";
    out += std::string(",\"border\":") + boolText(s.border) + "}";
    out += std::string(",\"picture\":{\"loaded\":") + boolText(view.picture.loaded)
        + ",\"width\":" + std::to_string(view.picture.width) + ",\"height\":" + std::to_string(view.picture.height)
        + ",\"version\":" + std::to_string(pictureVersion) + "}}";
    return out;
}

} // namespace scb
