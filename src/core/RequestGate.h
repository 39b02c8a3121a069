#pragma once
// The door of the board's web server: it reads every request a connection
// sends, pipelined ones included, and refuses one as soon as its head shows
// it will not be served or it grows past the size limit. The server is
// read-only and answers only GET, so nothing that gets through can change
// the board.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace scb {

constexpr std::size_t MaxRequestBytes = 64 * 1024;

// An Origin header ("http://host:port") names the Host the request came to
// ("host:port"); the scheme's default port may be left out on either side.
// Letter case does not count.
bool originMatchesHost(std::string_view origin, std::string_view host);

// The Host values ("host:port", IPv6 in brackets) a server bound to this
// address and port answers, so that a foreign name resolved to this machine
// (DNS rebinding) reaches nothing: loopback also answers "localhost", an
// explicit address only itself. Empty for every interface (0.0.0.0, ::),
// where any Host is taken.
std::vector<std::string> acceptedHosts(std::string_view boundAddress, int port);

// What the gate knows of a request once its head is in and passed.
struct GateRequest
{
    std::size_t size = 0;   // head and body, the blank lines before it included
    std::string path;       // the target without its query
    bool webSocket = false; // a valid WebSocket handshake on /ws
    bool close = false;     // the connection ends after the answer
    bool http10 = false;    // kept open only when the answer says so
};

class RequestGate
{
public:
    // hosts: acceptedHosts() of the server; empty accepts any Host.
    explicit RequestGate(std::vector<std::string> hosts = {});

    // The connection's bytes from the start of the current request on; any
    // past its end belong to the next one and are not looked at. 0 while the
    // request may go on; else the HTTP status to refuse it with.
    int feed(std::string_view bytes);

    // The current request's head and body are all in, and passed.
    bool whole() const { return m_headDone && !m_refused && m_total >= m_request.size; }
    const GateRequest &request() const { return m_request; }
    bool webSocket() const { return whole() && m_request.webSocket; }

    // The request was answered: the next byte starts another one.
    void startRequest();

private:
    int judgeHead(std::string_view head, bool blankLinesBefore);

    std::vector<std::string> m_hosts;
    std::string m_head;
    std::size_t m_total = 0;
    bool m_headDone = false;
    int m_refused = 0;
    GateRequest m_request;
};

} // namespace scb
