// How fast the board reaches browsers through --serve, and what the server
// costs at rest.
//
// The real program runs with --serve in a scratch folder, off screen. This
// process connects WebSocket clients to it, rewrites the display file (write
// and close, each version naming itself in its first row) and takes the time
// from the close to the message that carries the new version arriving: at the
// one client, or at the last of all 50 clients. Then, with 50 clients
// connected and nothing changing, it reads the program's CPU time and memory
// from /proc.
//
//   bench_web_latency [--rewrites N] [--idle SECONDS] [--program PATH]

#include "BenchProcess.h"
#include "BenchTime.h"
#include "BenchWebSocket.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string_view>
#include <sys/socket.h>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <time.h>
#include <unistd.h>
#include <vector>

using bench::monoNs;
using bench::processCpu;
using bench::processKb;
using bench::writeClose;
using bench::percentile;
using bench::waitUntil;

namespace {

void pauseMs(int ms)
{
    waitUntil([] { return false; }, ms);
}

// WebSocket clients at the level of the system's sockets: 50 of them in one
// thread notice a message within microseconds of its arrival, so what is
// measured is the server, not this harness. Like a browser they answer the
// server's pings.
class Clients
{
public:
    Clients(int count, quint16 port)
    {
        for (int i = 0; i < count; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in addr{};
            addr.sin_family = AF_INET;
            addr.sin_port = htons(port);
            addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            // Each client from an address of its own, as screens on a venue
            // network are: the server lets one address hold only a few.
            sockaddr_in from{};
            from.sin_family = AF_INET;
            from.sin_addr.s_addr = htonl((127u << 24) | (1u << 8) | std::uint32_t(1 + i % 250));
            if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&from), sizeof from) != 0
                || ::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
                std::fprintf(stderr, "bench_web_latency: cannot connect client %d\n", i);
                std::exit(1);
            }
            const int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            const std::string hello = "GET /ws HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port)
                + "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                  "Sec-WebSocket-Version: 13\r\n\r\n";
            bench::sendAll(fd, hello);
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
            Client c;
            c.fd = fd;
            m_clients.push_back(std::move(c));
        }
    }
    ~Clients()
    {
        for (const Client &c : m_clients)
            ::close(c.fd);
    }

    // Until each client has its handshake answered and the whole board in.
    bool allConnected(int timeoutMs)
    {
        return pump(monoNs() + timeoutMs * 1'000'000LL, [this] {
            return std::all_of(m_clients.begin(), m_clients.end(), [](const Client &c) { return c.messages > 0; });
        });
    }

    // Nanoseconds from `since` to the last client holding a message with
    // the token; -1 on time-out.
    std::int64_t waitAll(const std::string &token, std::int64_t since, int timeoutMs)
    {
        m_token = token;
        for (Client &c : m_clients)
            c.arrivedNs = 0;
        const bool all = pump(monoNs() + timeoutMs * 1'000'000LL, [this] {
            return std::all_of(m_clients.begin(), m_clients.end(), [](const Client &c) { return c.arrivedNs != 0; });
        });
        std::int64_t last = 0;
        for (const Client &c : m_clients)
            last = std::max(last, c.arrivedNs);
        return all ? last - since : -1;
    }

    // Sits at rest, answering pings, for the given time.
    void rest(int ms)
    {
        pump(monoNs() + ms * 1'000'000LL, [] { return false; });
    }

private:
    struct Client
    {
        int fd = -1;
        std::string in;
        bool upgraded = false;
        int messages = 0;
        std::int64_t arrivedNs = 0;
    };

    bool pump(std::int64_t deadline, const std::function<bool()> &done)
    {
        std::vector<pollfd> fds;
        for (const Client &c : m_clients)
            fds.push_back({c.fd, POLLIN, 0});
        while (!done()) {
            const std::int64_t left = deadline - monoNs();
            if (left <= 0)
                return false;
            if (::poll(fds.data(), fds.size(), static_cast<int>(left / 1'000'000) + 1) <= 0)
                continue;
            for (std::size_t i = 0; i < fds.size(); ++i)
                if (fds[i].revents)
                    receive(m_clients[i]);
        }
        return true;
    }

    void receive(Client &c)
    {
        bench::receiveAvailable(c.fd, c.in);
        const std::int64_t now = monoNs();
        if (!c.upgraded) {
            const std::optional<bool> answer = bench::takeHandshakeAnswer(c.in);
            if (!answer)
                return;
            c.upgraded = *answer;
        }
        std::size_t at = 0;
        while (const std::optional<bench::ServerFrame> frame = bench::nextServerFrame(std::string_view(c.in).substr(at))) {
            if (frame->opcode == 0x1) {
                ++c.messages;
                if (!m_token.empty() && !c.arrivedNs && frame->payload.find(m_token) != std::string_view::npos)
                    c.arrivedNs = now;
            }
            bench::answerPing(c.fd, *frame);
            at += frame->size;
        }
        c.in.erase(0, at);
    }

    std::vector<Client> m_clients;
    std::string m_token;
};

struct Run
{
    std::vector<double> ms;
    int missed = 0;
};

Run measure(int clientCount, int rewrites, quint16 port, const std::string &path, int &version, std::mt19937 &rng)
{
    Run run;
    Clients clients(clientCount, port);
    if (!clients.allConnected(10000)) {
        std::fprintf(stderr, "bench_web_latency: %d clients did not all connect\n", clientCount);
        std::exit(1);
    }
    std::uniform_int_distribution<int> pause(5, 30);
    for (int i = 0; i < rewrites; ++i) {
        ++version;
        char token[16];
        std::snprintf(token, sizeof token, "V%06d", version);
        if (!writeClose(path, bench::resultsFile(version))) {
            std::fprintf(stderr, "bench_web_latency: cannot write %s\n", path.c_str());
            std::exit(1);
        }
        const std::int64_t closed = monoNs();
        const std::int64_t ns = clients.waitAll(token, closed, 3000);
        if (ns < 0)
            ++run.missed;
        else
            run.ms.push_back(static_cast<double>(ns) / 1e6);
        clients.rest(pause(rng));
    }
    return run;
}

void print(const char *label, const Run &r)
{
    std::printf("%-26s p50 %6.2f ms   p95 %6.2f ms   max %6.2f ms   (%zu rewrites, %d missed)\n", label,
                percentile(r.ms, 0.5), percentile(r.ms, 0.95),
                r.ms.empty() ? 0.0 : *std::max_element(r.ms.begin(), r.ms.end()), r.ms.size(), r.missed);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int rewrites = 500;
    int idle = 60;
    QString program = QStringLiteral(SCB_PROGRAM);
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--rewrites" && i + 1 < argc)
            rewrites = std::atoi(argv[++i]);
        else if (a == "--idle" && i + 1 < argc)
            idle = std::atoi(argv[++i]);
        else if (a == "--program" && i + 1 < argc)
            program = QString::fromLocal8Bit(argv[++i]);
        else {
            std::fprintf(stderr, "usage: %s [--rewrites N] [--idle SECONDS] [--program PATH]\n", argv[0]);
            return 2;
        }
    }

    QTemporaryDir work;
    const std::string path = QDir(work.path()).filePath(QStringLiteral("Main.txt")).toStdString();
    int version = 0;
    writeClose(path, bench::resultsFile(version));
    QDir(work.path()).mkdir(QStringLiteral("runtime"));
    QFile::setPermissions(QDir(work.path()).filePath(QStringLiteral("runtime")), QFileDevice::ReadOwner
                              | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QProcess board;
    board.setWorkingDirectory(work.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QDir(work.path()).filePath(QStringLiteral("runtime")));
    board.setProcessEnvironment(env);
    board.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    board.start(program, {QStringLiteral("--serve"), QStringLiteral("127.0.0.1:0")});
    QByteArray line;
    waitUntil([&] {
        line += board.readAllStandardOutput();
        return line.contains('\n') || board.state() == QProcess::NotRunning;
    }, 10000);
    const int colon = line.lastIndexOf(':');
    const quint16 port = colon > 0 ? static_cast<quint16>(line.mid(colon + 1).replace('/', "").trimmed().toUInt()) : 0;
    if (!port) {
        std::fprintf(stderr, "bench_web_latency: %s did not report its port: %s\n", qPrintable(program), line.constData());
        return 1;
    }
    const qint64 pid = board.processId();
    std::printf("web latency: %s, %d rewrites per run (write + close, 5-30 ms apart)\n", qPrintable(program), rewrites);

    // Let start-up and the first poll tick pass.
    pauseMs(1500);
    std::mt19937 rng(1);
    print("file close -> 1 client", measure(1, rewrites, port, path, version, rng));
    print("file close -> all 50", measure(50, rewrites, port, path, version, rng));

    const long rssBefore = processKb(pid, "VmRSS");
    Clients resting(50, port);
    if (!resting.allConnected(10000)) {
        std::fprintf(stderr, "bench_web_latency: 50 clients did not all connect\n");
        return 1;
    }
    resting.rest(1000);
    const double cpu0 = processCpu(pid);
    const std::int64_t t0 = monoNs();
    resting.rest(idle * 1000);
    const double cpu = processCpu(pid) - cpu0;
    const double wall = static_cast<double>(monoNs() - t0) / 1e9;
    std::printf("at rest, 50 clients, %.0f s: CPU %.3f s = %.3f%% of one core; memory %ld KiB resident "
                "(%ld KiB before the 50 connected, peak %ld KiB)\n",
                wall, cpu, 100.0 * cpu / wall, processKb(pid, "VmRSS"), rssBefore, processKb(pid, "VmHWM"));

    board.terminate();
    board.waitForFinished(5000);
    return 0;
}
