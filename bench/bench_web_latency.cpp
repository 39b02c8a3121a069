// How fast the board reaches browsers through --serve, and what the server
// costs at rest.
//
// The real program runs with --serve in a scratch folder, off screen. This
// process connects WebSocket clients to it, rewrites the display file (write
// and close, each version naming itself in its first row) and takes the time
// from the close to the message that carries the new version arriving: at the
// one client, or at the last of all clients. Then, with 50 clients connected
// and nothing changing, it reads the program's CPU time and memory.
//
//   bench_web_latency [--rewrites N] [--idle SECONDS] [--program PATH]

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QWebSocket>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

std::int64_t monoNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t i = std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5));
    return v[i];
}

// A results file whose first row names its version.
std::string content(int version)
{
    char head[64];
    std::snprintf(head, sizeof head, "TIME: V%06d\r\n", version);
    std::string out = head;
    for (int i = 1; i < 12; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "%2d  SWIMMER OF THE TEAM %02d   %7.4f\r\n", i, i, 80.0 + (version % 97) / 10.0);
        out += line;
    }
    return out;
}

bool writeClose(const std::string &path, const std::string &text)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return ok;
}

// utime + stime of a process, in seconds.
double processCpu(qint64 pid)
{
    FILE *f = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
    if (!f)
        return 0;
    char buf[1024] = {};
    const std::size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    buf[n] = 0;
    // Fields after the command name, which ends with the last ')'.
    const char *p = std::strrchr(buf, ')');
    unsigned long utime = 0, stime = 0;
    if (!p || std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime) != 2)
        return 0;
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long processKb(qint64 pid, const char *field)
{
    FILE *f = std::fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
    if (!f)
        return 0;
    char line[256];
    long kb = 0;
    const std::size_t len = std::strlen(field);
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, field, len) == 0 && line[len] == ':')
            kb = std::atol(line + len + 1);
    std::fclose(f);
    return kb;
}

struct Client
{
    std::unique_ptr<QWebSocket> socket = std::make_unique<QWebSocket>();
    QString last;
    std::int64_t arrivedNs = 0; // the wanted version's message
};

class Clients
{
public:
    Clients(int count, quint16 port)
    {
        for (int i = 0; i < count; ++i) {
            m_clients.push_back(std::make_unique<Client>());
            Client *c = m_clients.back().get();
            QObject::connect(c->socket.get(), &QWebSocket::textMessageReceived, [this, c](const QString &text) {
                const std::int64_t now = monoNs();
                c->last = text;
                if (!m_wanted.isEmpty() && !c->arrivedNs && text.contains(m_wanted))
                    c->arrivedNs = now;
            });
            c->socket->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port)));
        }
    }

    bool allConnected(int timeoutMs)
    {
        return waitUntil([this] {
            return std::all_of(m_clients.begin(), m_clients.end(), [](const auto &c) { return !c->last.isEmpty(); });
        }, timeoutMs);
    }

    void want(const QString &token)
    {
        m_wanted = token;
        for (auto &c : m_clients)
            c->arrivedNs = c->last.contains(token) ? 1 : 0;
    }

    // Nanoseconds from `since` to the last client holding the wanted version; -1 on time-out.
    std::int64_t waitAll(std::int64_t since, int timeoutMs)
    {
        const bool all = waitUntil([this] {
            return std::all_of(m_clients.begin(), m_clients.end(), [](const auto &c) { return c->arrivedNs != 0; });
        }, timeoutMs);
        if (!all)
            return -1;
        std::int64_t last = 0;
        for (const auto &c : m_clients)
            last = std::max(last, c->arrivedNs);
        return last - since;
    }

private:
    std::vector<std::unique_ptr<Client>> m_clients;
    QString m_wanted;
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
        clients.want(QStringLiteral("V%1").arg(version, 6, 10, QLatin1Char('0')));
        if (!writeClose(path, content(version))) {
            std::fprintf(stderr, "bench_web_latency: cannot write %s\n", path.c_str());
            std::exit(1);
        }
        const std::int64_t closed = monoNs();
        const std::int64_t ns = clients.waitAll(closed, 3000);
        if (ns < 0)
            ++run.missed;
        else
            run.ms.push_back(static_cast<double>(ns) / 1e6);
        const std::int64_t until = monoNs() + pause(rng) * 1'000'000LL;
        waitUntil([until] { return monoNs() >= until; }, 1000);
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
    writeClose(path, content(version));
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
    const std::int64_t warm = monoNs() + 1500'000'000LL;
    waitUntil([warm] { return monoNs() >= warm; }, 3000);
    std::mt19937 rng(1);
    print("file close -> 1 client", measure(1, rewrites, port, path, version, rng));
    print("file close -> all 50", measure(50, rewrites, port, path, version, rng));

    const long rssBefore = processKb(pid, "VmRSS");
    Clients resting(50, port);
    if (!resting.allConnected(10000)) {
        std::fprintf(stderr, "bench_web_latency: 50 clients did not all connect\n");
        return 1;
    }
    const std::int64_t settle = monoNs() + 1000'000'000LL;
    waitUntil([settle] { return monoNs() >= settle; }, 2000);
    const double cpu0 = processCpu(pid);
    const std::int64_t t0 = monoNs();
    const std::int64_t end = t0 + static_cast<std::int64_t>(idle) * 1'000'000'000LL;
    waitUntil([end] { return monoNs() >= end; }, idle * 1000 + 1000);
    const double cpu = processCpu(pid) - cpu0;
    const double wall = static_cast<double>(monoNs() - t0) / 1e9;
    std::printf("at rest, 50 clients, %.0f s: CPU %.3f s = %.3f%% of one core; memory %ld KiB resident "
                "(%ld KiB before the 50 connected, peak %ld KiB)\n",
                wall, cpu, 100.0 * cpu / wall, processKb(pid, "VmRSS"), rssBefore, processKb(pid, "VmHWM"));

    board.terminate();
    board.waitForFinished(5000);
    return 0;
}
