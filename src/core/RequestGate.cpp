#include "core/RequestGate.h"

#include <algorithm>
#include <cctype>

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

bool hostListed(std::string_view host, const std::vector<std::string> &hosts)
{
    const std::string h = withoutDefaultPort(trim(host), "80");
    return std::any_of(hosts.begin(), hosts.end(), [&h](const std::string &a) { return withoutDefaultPort(a, "80") == h; });
}

bool isDigits(std::string_view s)
{
    return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
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

std::vector<std::string> acceptedHosts(std::string_view boundAddress, int port)
{
    std::string address = lower(boundAddress);
    if (address.size() >= 2 && address.front() == '[' && address.back() == ']')
        address = address.substr(1, address.size() - 2);
    if (address == "0.0.0.0" || address == "::")
        return {};
    const std::string suffix = ':' + std::to_string(port);
    const bool v6 = address.find(':') != std::string::npos;
    std::vector<std::string> hosts{(v6 ? '[' + address + ']' : address) + suffix};
    if (address == "::1" || address.rfind("127.", 0) == 0)
        hosts.push_back("localhost" + suffix);
    return hosts;
}

RequestGate::RequestGate(std::vector<std::string> hosts) : m_hosts(std::move(hosts)) {}

void RequestGate::startRequest()
{
    m_head.clear();
    m_total = 0;
    m_headDone = false;
    m_refused = 0;
    m_request = GateRequest();
}

int RequestGate::feed(std::string_view bytes)
{
    if (m_refused)
        return m_refused;
    m_total += bytes.size();
    if (m_headDone)
        return 0;
    // A head may end in a chunk's first bytes: look again at the last two.
    const std::size_t from = m_head.size() >= 2 ? m_head.size() - 2 : 0;
    // No more than the limit and one byte is ever kept.
    m_head.append(bytes.substr(0, MaxRequestBytes + 1 - m_head.size()));
    // Empty lines before the request line are allowed and skipped.
    const std::size_t first = m_head.find_first_not_of("\r\n");
    std::size_t end = std::string::npos;
    if (first != std::string::npos) {
        const std::size_t search = std::max(from, first);
        const std::size_t lf = m_head.find("\n\n", search);
        const std::size_t crlf = m_head.find("\n\r\n", search);
        if (lf != std::string::npos && (crlf == std::string::npos || lf < crlf))
            end = lf + 2;
        else if (crlf != std::string::npos)
            end = crlf + 3;
    }
    if (end == std::string::npos || end > MaxRequestBytes)
        return m_refused = m_head.size() > MaxRequestBytes ? 413 : 0;
    m_headDone = true;
    m_refused = judgeHead(std::string_view(m_head).substr(first, end - first), first > 0);
    m_request.size += end;
    if (!m_refused && m_request.size > MaxRequestBytes)
        m_refused = 413;
    m_head.clear();
    m_head.shrink_to_fit();
    return m_refused;
}

int RequestGate::judgeHead(std::string_view head, bool blankLinesBefore)
{
    const bool crlfHead = head.ends_with("\r\n\r\n");
    std::vector<std::string_view> lines;
    for (std::string_view rest = head; !rest.empty();) {
        const std::size_t nl = rest.find('\n');
        std::string_view line = rest.substr(0, nl);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            break;
        lines.push_back(line);
        rest.remove_prefix(nl == std::string_view::npos ? rest.size() : nl + 1);
    }

    // "GET /target HTTP/1.x", one space apart.
    const std::string_view requestLine = lines.front();
    const std::size_t sp1 = requestLine.find(' ');
    if (requestLine.substr(0, sp1) != "GET")
        return 405;
    const std::string_view afterMethod = requestLine.substr(sp1 + 1);
    const std::size_t sp2 = afterMethod.find(' ');
    const std::string_view target = afterMethod.substr(0, sp2);
    const std::string_view version = sp2 == std::string_view::npos ? std::string_view() : afterMethod.substr(sp2 + 1);
    if (target.empty() || target.front() != '/' || version.size() != 8 || !version.starts_with("HTTP/1.")
        || !isDigits(version.substr(7)))
        return 400;
    const bool http10 = version == "HTTP/1.0";
    m_request.http10 = http10;
    m_request.path = std::string(target.substr(0, target.find('?')));

    int hostCount = 0;
    std::string_view host;
    std::vector<std::string_view> origins;
    std::string connection;
    bool upgradeHeader = false;
    bool upgradeWebSocket = false;
    std::string_view key;
    std::string_view wsVersion;
    std::string_view length;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        // A folded line continues the one before it, a header the checks
        // below would not see whole: refused, as the standard allows.
        if (line.front() == ' ' || line.front() == '\t')
            return 400;
        const std::size_t colon = line.find(':');
        if (colon == 0 || colon == std::string_view::npos || line.substr(0, colon).find_first_of(" \t") != std::string_view::npos)
            return 400;
        const std::string name = lower(line.substr(0, colon));
        const std::string_view value = trim(line.substr(colon + 1));
        if (name == "host") {
            ++hostCount;
            host = value;
        } else if (name == "origin") {
            origins.push_back(value);
        } else if (name == "connection") {
            connection += ',';
            connection += value;
        } else if (name == "upgrade") {
            upgradeHeader = true;
            upgradeWebSocket = upgradeWebSocket || hasToken(value, "websocket");
        } else if (name == "sec-websocket-key") {
            key = value;
        } else if (name == "sec-websocket-version") {
            wsVersion = value;
        } else if (name == "content-length") {
            if (!isDigits(value) || (!length.empty() && value != length))
                return 400;
            length = value;
        } else if (name == "transfer-encoding") {
            return 400; // a GET has no body to encode
        }
    }
    if (hostCount > 1)
        return 400;
    if (!length.empty()) {
        const std::size_t digits = length.find_first_not_of('0');
        if (digits != std::string_view::npos && length.size() - digits > 6)
            return 413;
        m_request.size = digits == std::string_view::npos ? 0 : std::stoul(std::string(length.substr(digits)));
    }
    // Browsers always name the host; a page of a foreign name that resolves
    // here must reach nothing.
    if (hostCount == 1 && !m_hosts.empty() && !hostListed(host, m_hosts))
        return 421;
    m_request.close = hasToken(connection, "close") || (http10 && !hasToken(connection, "keep-alive"));

    const bool handshake = upgradeWebSocket || !key.empty();
    if (m_request.path != "/ws")
        return handshake ? 404 : 0;
    if (!handshake && !upgradeHeader)
        return 0; // a plain GET of /ws, answered as any unknown page
    if (!upgradeWebSocket || !hasToken(connection, "upgrade") || key.empty() || wsVersion != "13" || hostCount != 1
        || http10 || !length.empty() || !crlfHead || blankLinesBefore)
        return 400;
    for (const std::string_view origin : origins) {
        const bool own = m_hosts.empty() ? originMatchesHost(origin, host)
                                         : std::any_of(m_hosts.begin(), m_hosts.end(), [origin](const std::string &h) {
                                               return originMatchesHost(origin, h);
                                           });
        if (!own)
            return 403;
    }
    m_request.webSocket = true;
    return 0;
}

} // namespace scb
