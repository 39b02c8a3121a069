#include "core/RequestGate.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace scb {

namespace {

std::string lower(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string_view trim(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// host[:port] without the port when it is the scheme's default.
std::string withoutDefaultPort(std::string_view authority, std::string_view defaultPort)
{
    const std::size_t colon = authority.rfind(':');
    const std::size_t bracket = authority.rfind(']');
    if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)
        && authority.substr(colon + 1) == defaultPort)
        authority = authority.substr(0, colon);
    return lower(authority);
}

bool hasToken(std::string_view list, std::string_view token)
{
    const std::string l = lower(list);
    std::size_t start = 0;
    while (start <= l.size()) {
        const std::size_t comma = std::min(l.find(',', start), l.size());
        if (trim(std::string_view(l).substr(start, comma - start)) == token)
            return true;
        start = comma + 1;
    }
    return false;
}

} // namespace

bool originMatchesHost(std::string_view origin, std::string_view host)
{
    const std::string o = lower(trim(origin));
    std::string_view defaultPort;
    std::string_view authority;
    if (o.rfind("http://", 0) == 0) {
        defaultPort = "80";
        authority = std::string_view(o).substr(7);
    } else if (o.rfind("https://", 0) == 0) {
        defaultPort = "443";
        authority = std::string_view(o).substr(8);
    } else {
        return false; // "null", other schemes: a page that is not ours
    }
    host = trim(host);
    if (authority.empty() || host.empty() || authority.find('/') != std::string_view::npos)
        return false;
    return withoutDefaultPort(authority, defaultPort) == withoutDefaultPort(host, defaultPort);
}

void RequestGate::startRequest()
{
    m_head.clear();
    m_total = 0;
    m_headDone = false;
    m_webSocket = false;
    m_refused = 0;
}

int RequestGate::feed(std::string_view bytes)
{
    if (m_refused)
        return m_refused;
    m_total += bytes.size();
    if (m_total > MaxRequestBytes)
        return m_refused = 413;
    if (m_headDone)
        return 0;
    const std::size_t from = m_head.size() >= 2 ? m_head.size() - 2 : 0;
    m_head.append(bytes);
    // Empty lines before the request line are allowed and skipped.
    const std::size_t first = m_head.find_first_not_of("\r\n");
    if (first == std::string::npos)
        return 0;
    const std::size_t search = std::max(from, first);
    const std::size_t lf = m_head.find("\n\n", search);
    const std::size_t crlf = m_head.find("\n\r\n", search);
    if (lf == std::string::npos && crlf == std::string::npos)
        return 0;
    m_head.erase(0, first);
    m_headDone = true;
    m_refused = judgeHead();
    m_head.clear();
    m_head.shrink_to_fit();
    return m_refused;
}

int RequestGate::judgeHead()
{
    std::vector<std::string_view> lines;
    std::string_view rest(m_head);
    while (!rest.empty()) {
        const std::size_t nl = rest.find('\n');
        const std::string_view line = trim(rest.substr(0, nl));
        if (line.empty())
            break;
        lines.push_back(line);
        if (nl == std::string_view::npos)
            break;
        rest.remove_prefix(nl + 1);
    }
    if (lines.empty())
        return 400;

    const std::string_view requestLine = lines.front();
    const std::size_t sp1 = requestLine.find(' ');
    if (requestLine.substr(0, sp1) != "GET")
        return 405;
    std::string_view target = sp1 == std::string_view::npos ? std::string_view() : requestLine.substr(sp1 + 1);
    target = target.substr(0, target.find(' '));
    const std::string_view path = target.substr(0, target.find('?'));

    std::string_view host;
    std::vector<std::string_view> origins;
    bool upgrade = false;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::size_t colon = lines[i].find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string name = lower(trim(lines[i].substr(0, colon)));
        const std::string_view value = trim(lines[i].substr(colon + 1));
        if (name == "host" && host.empty())
            host = value;
        else if (name == "origin")
            origins.push_back(value);
        else if (name == "upgrade")
            upgrade = upgrade || hasToken(value, "websocket");
    }
    if (!upgrade)
        return 0;
    if (path != "/ws")
        return 404;
    for (const std::string_view origin : origins)
        if (!originMatchesHost(origin, host))
            return 403;
    m_webSocket = true;
    return 0;
}

} // namespace scb
