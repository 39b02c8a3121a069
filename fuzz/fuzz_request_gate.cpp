// The web server's gate against arbitrary bytes, as a connection sends them:
// the first byte picks the address served on, the second the size of the
// pieces the bytes arrive in. Each request of the stream is judged the same
// whether it arrives whole or in pieces, and one that passes names a path,
// lies inside the stream and within the size limit, and only /ws upgrades.

#include "core/RequestGate.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Verdict
{
    int status = 0;
    bool whole = false;
    scb::GateRequest request;
};

Verdict judge(const std::vector<std::string> &hosts, std::string_view bytes, std::size_t piece)
{
    scb::RequestGate gate(hosts);
    Verdict v;
    for (std::size_t at = 0; at < bytes.size() && !v.status && !gate.whole(); at += piece)
        v.status = gate.feed(bytes.substr(at, piece));
    v.whole = gate.whole();
    v.request = gate.request();
    return v;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    static const std::vector<std::string> bound[] = {
        {}, scb::acceptedHosts("127.0.0.1", 8080), scb::acceptedHosts("::1", 80), scb::acceptedHosts("192.168.1.20", 8080)};
    const std::vector<std::string> &hosts = bound[data[0] % 4];
    const std::size_t piece = data[1] % 64 + 1;
    const std::string_view stream(reinterpret_cast<const char *>(data) + 2, size - 2);

    for (std::size_t at = 0; at < stream.size();) {
        const std::string_view rest = stream.substr(at);
        const Verdict whole = judge(hosts, rest, rest.size());
        const Verdict pieces = judge(hosts, rest, piece);
        if (whole.status != pieces.status || whole.whole != pieces.whole)
            std::abort();
        if (whole.status) {
            switch (whole.status) {
            case 400: case 403: case 404: case 405: case 413: case 421:
                return 0;
            default:
                std::abort();
            }
        }
        if (!whole.whole)
            return 0;
        const scb::GateRequest &r = whole.request;
        const scb::GateRequest &p = pieces.request;
        if (r.size != p.size || r.path != p.path || r.webSocket != p.webSocket || r.close != p.close)
            std::abort();
        if (r.size == 0 || r.size > rest.size() || r.size > scb::MaxRequestBytes || r.path.empty() || r.path.front() != '/'
            || (r.webSocket && r.path != "/ws"))
            std::abort();
        at += r.size;
    }
    return 0;
}
