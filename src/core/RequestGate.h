#pragma once
// The door of the board's web server: it reads every byte a connection sends
// before the HTTP server parses it, and refuses a request as soon as its
// head shows it will not be served or it grows past the size limit. The
// server behind it is read-only and answers only GET, so nothing that gets
// through can change the board.

#include <cstddef>
#include <string>
#include <string_view>

namespace scb {

constexpr std::size_t MaxRequestBytes = 64 * 1024;

// An Origin header ("http://host:port") names the Host the request came to
// ("host:port"); the scheme's default port may be left out on either side.
// Letter case does not count.
bool originMatchesHost(std::string_view origin, std::string_view host);

class RequestGate
{
public:
    // 0 while the request may go on; else the HTTP status to refuse it with.
    int feed(std::string_view bytes);

    // The request was answered: the next byte starts another one.
    void startRequest();

    // The whole head is in and passed; it asks for the WebSocket.
    bool webSocket() const { return m_webSocket; }

private:
    int judgeHead();

    std::string m_head;
    std::size_t m_total = 0;
    bool m_headDone = false;
    bool m_webSocket = false;
    int m_refused = 0;
};

} // namespace scb
