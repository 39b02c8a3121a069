#pragma once
// The raw WebSocket client side the web benchmarks share: thousands of
// clients on plain sockets in one thread, so what is timed is the server.

#include <sys/socket.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace bench {

inline void sendAll(int fd, const std::string &data)
{
    std::size_t off = 0;
    while (off < data.size()) {
        const ssize_t n = ::send(fd, data.data() + off, data.size() - off, MSG_NOSIGNAL);
        if (n <= 0 && errno != EINTR && errno != EAGAIN)
            return;
        off += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
}

// Everything the socket holds now, appended to in.
inline void receiveAvailable(int fd, std::string &in)
{
    char buf[65536];
    for (;;) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            return;
        in.append(buf, static_cast<std::size_t>(n));
    }
}

// The handshake's answer, once its head is in: taken off the front of in.
// Empty while the head is incomplete; else whether it switched protocols.
inline std::optional<bool> takeHandshakeAnswer(std::string &in)
{
    const std::size_t end = in.find("\r\n\r\n");
    if (end == std::string::npos)
        return std::nullopt;
    const bool upgraded = in.compare(0, 12, "HTTP/1.1 101") == 0;
    in.erase(0, end + 4);
    return upgraded;
}

struct ServerFrame
{
    int opcode = 0;
    std::string_view payload;
    std::size_t size = 0; // header and payload
};

// The server's frame at the front of in: FIN and opcode, a length of 7, 7+16
// or 7+64 bits, no mask. Empty while it is incomplete.
inline std::optional<ServerFrame> nextServerFrame(std::string_view in)
{
    if (in.size() < 2)
        return std::nullopt;
    const auto b = reinterpret_cast<const unsigned char *>(in.data());
    std::size_t head = 2;
    std::uint64_t len = b[1] & 0x7F;
    if (len == 126) {
        head = 4;
        if (in.size() < head)
            return std::nullopt;
        len = (std::uint64_t(b[2]) << 8) | b[3];
    } else if (len == 127) {
        head = 10;
        if (in.size() < head)
            return std::nullopt;
        len = 0;
        for (int k = 2; k < 10; ++k)
            len = (len << 8) | b[k];
    }
    if (in.size() - head < len)
        return std::nullopt;
    return ServerFrame{b[0] & 0x0F, in.substr(head, len), head + len};
}

// Answers a ping as a browser does, so the server keeps the client.
inline void answerPing(int fd, const ServerFrame &frame)
{
    if (frame.opcode != 0x9 || frame.payload.size() > 125)
        return;
    // Masked with a zero key, as every client frame must be masked.
    std::string pong = {char(0x8A), char(0x80 | frame.payload.size()), 0, 0, 0, 0};
    pong.append(frame.payload);
    sendAll(fd, pong);
}

} // namespace bench
