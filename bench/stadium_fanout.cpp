// How the venue's engine fans the board out to thousands of phones.
//
// tools/stadium runs nginx with Nchan on a free port; the real program runs
// off screen in a scratch folder with --publish to it; this process holds N
// WebSocket subscribers (default 5,000) on one epoll, rewrites the display
// file 100 times at 10 Hz (write and close, each version naming itself in its
// first row) and takes the time from each close to the last subscriber
// holding that version. The same rewrites are run first against the program
// without --publish, so its interface-thread time and memory can be told
// apart from what publishing adds.
//
//   stadium_fanout [--subscribers N] [--rewrites N] [--program PATH] [--stadium PATH]

#include "BenchProcess.h"
#include "BenchTime.h"
#include "BenchWebSocket.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <string_view>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using bench::monoNs;
using bench::percentile;

namespace {

[[noreturn]] void die(const std::string &why)
{
    std::fprintf(stderr, "stadium_fanout: %s\n", why.c_str());
    std::exit(1);
}

double ownCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
        + static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// One descriptor per subscriber, and some to spare.
void raiseDescriptorLimit(int subscribers)
{
    rlimit lim{};
    getrlimit(RLIMIT_NOFILE, &lim);
    const rlim_t want = static_cast<rlim_t>(subscribers) + 256;
    if (lim.rlim_max < want)
        lim.rlim_max = want; // only root gets past the hard limit
    lim.rlim_cur = lim.rlim_max;
    if (setrlimit(RLIMIT_NOFILE, &lim) != 0 || lim.rlim_cur < want)
        die("cannot open " + std::to_string(subscribers) + " descriptors (ulimit -Hn is lower)");
}

quint16 freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) != 0)
        die("no free port");
    ::close(fd);
    return ntohs(addr.sin_port);
}

// The processes below pid (nginx's master and workers below tools/stadium).
std::vector<long long> descendants(long long pid)
{
    std::vector<std::pair<long long, long long>> parents; // (pid, ppid)
    if (DIR *d = ::opendir("/proc")) {
        while (dirent *e = ::readdir(d)) {
            const long long p = std::atoll(e->d_name);
            if (p <= 0)
                continue;
            const std::string stat = bench::procFile(p, "stat");
            const std::size_t close = stat.rfind(')');
            if (close != std::string::npos)
                parents.emplace_back(p, std::atoll(stat.c_str() + close + 4));
        }
        ::closedir(d);
    }
    std::vector<long long> found{pid};
    for (std::size_t i = 0; i < found.size(); ++i)
        for (const auto &[p, pp] : parents)
            if (pp == found[i])
                found.push_back(p);
    found.erase(found.begin());
    return found;
}

// N WebSocket subscribers on one epoll, at the level of the system's
// sockets, so the harness is never what is measured. Each keeps the newest
// version it holds; a version's time is when its last subscriber got it.
class Subscribers
{
public:
    Subscribers(int count, quint16 port, int rewrites) : m_reached(static_cast<std::size_t>(rewrites) + 1), m_lastNs(m_reached.size())
    {
        m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
        const std::string hello = "GET /board/sub HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port)
            + "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
              "Sec-WebSocket-Version: 13\r\n\r\n";
        m_subs.reserve(static_cast<std::size_t>(count));
        // In batches, so the engine's accept queue never overflows into
        // a second's wait for a retried connection.
        constexpr int Batch = 250;
        for (int i = 0; i < count; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in addr{};
            addr.sin_family = AF_INET;
            addr.sin_port = htons(port);
            addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0)
                die("cannot connect subscriber " + std::to_string(i) + ": " + std::strerror(errno));
            const int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            bench::sendAll(fd, hello);
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
            epoll_event ev{};
            ev.events = EPOLLIN;
            ev.data.u32 = static_cast<std::uint32_t>(m_subs.size());
            ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &ev);
            m_subs.push_back(Sub{fd, {}, false, -1});
            if ((i + 1) % Batch == 0 || i + 1 == count)
                if (!pump(monoNs() + 10'000'000'000LL, [this] { return upgraded() == m_subs.size(); }))
                    die(std::to_string(m_subs.size() - upgraded()) + " subscribers got no answer to their upgrade");
        }
    }
    ~Subscribers()
    {
        for (const Sub &s : m_subs)
            ::close(s.fd);
        ::close(m_epoll);
    }

    std::size_t size() const { return m_subs.size(); }
    std::size_t upgraded() const { return m_upgraded; }
    std::size_t holding(int version) const
    {
        return static_cast<std::size_t>(std::count_if(m_subs.begin(), m_subs.end(), [version](const Sub &s) { return s.version == version; }));
    }
    // How many hold the version, and when the last of them got it.
    int reached(int version) const { return m_reached[static_cast<std::size_t>(version)]; }
    std::int64_t lastNs(int version) const { return m_lastNs[static_cast<std::size_t>(version)]; }

    // Serves the sockets until done() or the deadline.
    bool pump(std::int64_t deadlineNs, const std::function<bool()> &done)
    {
        epoll_event events[256];
        while (!done()) {
            const std::int64_t left = deadlineNs - monoNs();
            if (left <= 0)
                return false;
            const int n = ::epoll_wait(m_epoll, events, 256, static_cast<int>(left / 1'000'000) + 1);
            for (int i = 0; i < n; ++i)
                receive(m_subs[events[i].data.u32]);
        }
        return true;
    }

private:
    struct Sub
    {
        int fd = -1;
        std::string in;
        bool upgraded = false;
        int version = -1;
    };

    void receive(Sub &s)
    {
        bench::receiveAvailable(s.fd, s.in);
        const std::int64_t now = monoNs();
        if (!s.upgraded) {
            const std::string head = s.in.substr(0, s.in.find('\r'));
            const std::optional<bool> answer = bench::takeHandshakeAnswer(s.in);
            if (!answer)
                return;
            if (!*answer)
                die("a subscriber was refused: " + head);
            s.upgraded = true;
            ++m_upgraded;
        }
        std::size_t at = 0;
        while (const std::optional<bench::ServerFrame> frame = bench::nextServerFrame(std::string_view(s.in).substr(at))) {
            if (frame->opcode == 0x1)
                arrived(s, frame->payload, now);
            bench::answerPing(s.fd, *frame);
            at += frame->size;
        }
        s.in.erase(0, at);
    }

    void arrived(Sub &s, std::string_view payload, std::int64_t now)
    {
        const std::size_t at = payload.find("TIME: V");
        if (at == std::string_view::npos || at + 13 > payload.size())
            return;
        const int version = std::atoi(std::string(payload.substr(at + 7, 6)).c_str());
        if (version <= s.version || version >= static_cast<int>(m_reached.size()))
            return;
        s.version = version;
        ++m_reached[static_cast<std::size_t>(version)];
        m_lastNs[static_cast<std::size_t>(version)] = now;
    }

    int m_epoll = -1;
    std::vector<Sub> m_subs;
    std::size_t m_upgraded = 0;
    std::vector<int> m_reached;
    std::vector<std::int64_t> m_lastNs;
};

// The program, off screen in its own folder, following Main.txt there.
class Program
{
public:
    Program(const QString &exe, const QStringList &args) : m_path(QDir(m_dir.path()).filePath("Main.txt").toStdString())
    {
        bench::writeClose(m_path, bench::resultsFile(0));
        QDir(m_dir.path()).mkdir("runtime");
        QFile::setPermissions(QDir(m_dir.path()).filePath("runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        m_proc.setWorkingDirectory(m_dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", QDir(m_dir.path()).filePath("runtime"));
        m_proc.setProcessEnvironment(env);
        m_proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_proc.start(exe, args);
        if (!m_proc.waitForStarted(5000))
            die("cannot start " + exe.toStdString());
        // Start-up and the first poll tick.
        bench::waitUntil([] { return false; }, 1500);
    }
    ~Program()
    {
        m_proc.terminate();
        m_proc.waitForFinished(5000);
    }
    long long pid() const { return m_proc.processId(); }
    const std::string &path() const { return m_path; }
    long long interfaceThreadNs() const { return bench::threadRunNs(pid(), pid()); }

private:
    QTemporaryDir m_dir;
    std::string m_path;
    QProcess m_proc;
};

struct Schedule
{
    int rewrites = 100;
    int periodMs = 100;
};

// Rewrites the file on schedule; between rewrites, serves the subscribers
// (if any). Returns the close time of each version.
std::vector<std::int64_t> rewrite(const Program &program, const Schedule &schedule, Subscribers *subs)
{
    std::vector<std::int64_t> closed(static_cast<std::size_t>(schedule.rewrites) + 1);
    std::int64_t next = monoNs();
    for (int v = 1; v <= schedule.rewrites; ++v) {
        if (!bench::writeClose(program.path(), bench::resultsFile(v)))
            die("cannot write " + program.path());
        closed[static_cast<std::size_t>(v)] = monoNs();
        next += schedule.periodMs * 1'000'000LL;
        if (subs)
            subs->pump(next, [] { return false; });
        else
            bench::waitUntil([&] { return monoNs() >= next; }, schedule.periodMs + 1);
    }
    return closed;
}

struct ProgramFigures
{
    double interfaceUsPerRewrite = 0;
    long rssKb = 0;
};

ProgramFigures programFigures(const Program &program, long long runNsBefore, int rewrites)
{
    return {static_cast<double>(program.interfaceThreadNs() - runNsBefore) / 1e3 / rewrites, bench::processKb(program.pid(), "VmRSS")};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int subscribers = 5000;
    Schedule schedule;
    QString exe = QStringLiteral(SCB_PROGRAM);
    QString stadium = QStringLiteral(SCB_STADIUM);
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--subscribers" && i + 1 < argc)
            subscribers = std::atoi(argv[++i]);
        else if (a == "--rewrites" && i + 1 < argc)
            schedule.rewrites = std::max(1, std::atoi(argv[++i]));
        else if (a == "--program" && i + 1 < argc)
            exe = QString::fromLocal8Bit(argv[++i]);
        else if (a == "--stadium" && i + 1 < argc)
            stadium = QString::fromLocal8Bit(argv[++i]);
        else {
            std::fprintf(stderr, "usage: %s [--subscribers N] [--rewrites N] [--program PATH] [--stadium PATH]\n", argv[0]);
            return 2;
        }
    }
    raiseDescriptorLimit(subscribers);
    std::printf("stadium fan-out: %s, %d subscribers, %d rewrites at %d Hz\n", qPrintable(exe), subscribers,
                schedule.rewrites, 1000 / schedule.periodMs);

    // Without --publish first: what the program costs today.
    ProgramFigures plain;
    {
        Program program(exe, {});
        const long long before = program.interfaceThreadNs();
        rewrite(program, schedule, nullptr);
        plain = programFigures(program, before, schedule.rewrites);
    }

    const quint16 port = freePort();
    QProcess engine;
    engine.setProcessChannelMode(QProcess::SeparateChannels);
    engine.setStandardErrorFile(QProcess::nullDevice());
    engine.start(stadium, {QString::number(port)});
    QByteArray said;
    bench::waitUntil([&] {
        said += engine.readAllStandardOutput();
        return said.contains("--publish") || engine.state() == QProcess::NotRunning;
    }, 15000);
    if (!said.contains("--publish"))
        die("tools/stadium did not start: " + said.toStdString());
    const QString publishUrl = QStringLiteral("http://127.0.0.1:%1/board/pub").arg(port);

    ProgramFigures publishing;
    std::vector<double> ms;
    int missed = 0;
    std::size_t onFinal = 0;
    double ownCpu = 0;
    double nginxCpu = 0;
    long nginxRssKb = 0;
    long nginxPssKb = 0;
    double wall = 0;
    {
        Program program(exe, {QStringLiteral("--publish"), publishUrl});
        const std::int64_t connecting = monoNs();
        Subscribers subs(subscribers, port, schedule.rewrites);
        std::printf("%zu subscribers connected in %.1f s\n", subs.size(), static_cast<double>(monoNs() - connecting) / 1e9);

        const std::vector<long long> nginx = descendants(engine.processId());
        auto nginxSeconds = [&] {
            double s = 0;
            for (const long long p : nginx)
                s += bench::processCpu(p);
            return s;
        };
        const double own0 = ownCpuSeconds();
        const double nginx0 = nginxSeconds();
        const long long before = program.interfaceThreadNs();
        const std::int64_t start = monoNs();
        const std::vector<std::int64_t> closed = rewrite(program, schedule, &subs);
        const int last = schedule.rewrites;
        subs.pump(monoNs() + 3'000'000'000LL, [&] { return subs.reached(last) == static_cast<int>(subs.size()); });
        wall = static_cast<double>(monoNs() - start) / 1e9;
        ownCpu = ownCpuSeconds() - own0;
        nginxCpu = nginxSeconds() - nginx0;
        publishing = programFigures(program, before, schedule.rewrites);
        for (int v = 1; v <= last; ++v) {
            if (subs.reached(v) == static_cast<int>(subs.size()))
                ms.push_back(static_cast<double>(subs.lastNs(v) - closed[static_cast<std::size_t>(v)]) / 1e6);
            else
                ++missed;
        }
        onFinal = subs.holding(last);
        for (const long long p : nginx) {
            nginxRssKb += bench::processKb(p, "VmRSS");
            nginxPssKb += bench::processKb(p, "Pss", "smaps_rollup");
        }
    }
    engine.terminate();
    engine.waitForFinished(10000);

    std::printf("file close -> last of %d subscribers: p50 %.1f ms   p95 %.1f ms   max %.1f ms   (%zu versions reached all, %d did not)\n",
                subscribers, percentile(ms, 0.5), percentile(ms, 0.95), ms.empty() ? 0.0 : *std::max_element(ms.begin(), ms.end()),
                ms.size(), missed);
    std::printf("on the final version at the end: %zu of %d subscribers%s\n", onFinal, subscribers,
                onFinal == static_cast<std::size_t>(subscribers) ? " (all)" : "");
    std::printf("program interface thread per rewrite: %.0f us with --publish, %.0f us without: %.0f us per publish\n",
                publishing.interfaceUsPerRewrite, plain.interfaceUsPerRewrite,
                publishing.interfaceUsPerRewrite - plain.interfaceUsPerRewrite);
    std::printf("program resident memory: %ld KiB with --publish, %ld KiB without (%+ld KiB)\n", publishing.rssKb, plain.rssKb,
                publishing.rssKb - plain.rssKb);
    std::printf("nginx: %ld KiB resident (%ld KiB proportional), CPU %.2f s over the %.1f s of rewrites\n", nginxRssKb, nginxPssKb,
                nginxCpu, wall);
    std::printf("this load generator: CPU %.2f s over the same %.1f s (%.0f%% of one core)\n", ownCpu, wall, 100 * ownCpu / wall);
    return 0;
}
