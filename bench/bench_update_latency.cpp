// How fast, and how cleanly, the scoreboard follows its display file.
//
// A writer process rewrites the file the way real writers do (in place,
// truncated and filled in chunks, written aside and renamed over, twice in
// one second at the same size) while the real control and scoreboard windows
// run. Every line of a version names that version, so each frame the grid
// holds is either one whole version or torn. For every version that stays on
// disk at least 50 ms the time from the writer's close or rename to the grid
// holding it is taken on CLOCK_MONOTONIC, which both processes share.
//
//   bench_update_latency [--versions N] [--mode watch|poll|both] [--seed S]
//   bench_update_latency --idle SECONDS      CPU of a 1920x1080 board at rest
//   bench_update_latency --io                what a stat and a read can cost

#include "BenchTime.h"
#include "Application.h"
#include "adapters/DisplayFileFeed.h"
#include "Unit_Main.h"
#include "Unit_Results.h"
#include "core/platform/ExclusiveRead.h"
#include "core/FileStamp.h"
#include "widgets/ScbGrid.h"
#include "widgets/SpinEdit.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

using bench::monoNs;
using bench::threadCpuNs;
using bench::waitUntil;
using bench::percentile;

namespace {

constexpr std::int64_t Ms = 1'000'000;
constexpr std::int64_t MinStayNs = 50 * Ms;

// ---- the display file's versions -------------------------------------------

// Line 0 names the version and its line count, so a frame holding fewer rows
// than its own header promises is recognised as a partial read.
std::string header(int version, int lines)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "TIME: V%06d N%02d", version, lines);
    return buf;
}

std::string line(int version, int index)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, "V%06d R%02d  %-24s %7.2f", version, index, "SWIMMER OF THE TEAM",
                  static_cast<double>(version % 1000) + index / 100.0);
    return buf;
}

std::string content(int version, int lines)
{
    std::string out = header(version, lines) + "\r\n";
    for (int i = 1; i < lines; ++i)
        out += line(version, i) + "\r\n";
    return out;
}

// The rows a whole version leaves on the grid: its lines, the empty line after
// the final CR LF, then blanks.
std::array<std::string, 12> expectedRows(int version, int lines)
{
    std::array<std::string, 12> rows;
    for (int r = 0; r < 12; ++r) {
        if (r == 0)
            rows[0] = header(version, lines);
        else if (r < lines)
            rows[r] = line(version, r);
        else if (r == lines)
            rows[r].clear();
        else
            rows[r].assign(1, ' ');
    }
    return rows;
}

// -1: not a whole version.
int wholeVersion(const std::array<std::string, 12> &rows)
{
    int version = 0, lines = 0;
    if (std::sscanf(rows[0].c_str(), "TIME: V%d N%d", &version, &lines) != 2 || lines < 1 || lines > 12)
        return -1;
    return rows == expectedRows(version, lines) ? version : -1;
}

// ---- the writer process ----------------------------------------------------

enum Kind { WriteClose, TruncateChunks, TempRename, SameSecondPair, KindCount };
const char *const KindNames[] = {"write+close", "truncate+3 chunks", "temp+rename", "same-size pair"};

struct Record
{
    int version = 0;
    int kind = 0;
    std::int64_t startNs = 0; // the previous version stops being on disk
    std::int64_t doneNs = 0;  // this one is complete: after close or rename
};

void sleepMs(int ms)
{
    timespec ts{ms / 1000, static_cast<long>(ms % 1000) * Ms};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

void writeAll(int fd, const char *data, std::size_t n)
{
    while (n > 0) {
        const ssize_t got = ::write(fd, data, n);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            std::exit(3);
        data += got;
        n -= static_cast<std::size_t>(got);
    }
}

int runWriter(const std::string &path, const std::string &logPath, int versions, unsigned seed)
{
    const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (log < 0)
        return 2;
    std::mt19937 rng(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const std::string temp = path + ".tmp";

    auto record = [&](const Record &r) {
        char buf[128];
        const int n = std::snprintf(buf, sizeof buf, "%d %d %lld %lld\n", r.version, r.kind,
                                    static_cast<long long>(r.startNs), static_cast<long long>(r.doneNs));
        writeAll(log, buf, static_cast<std::size_t>(n));
    };
    auto writeClose = [&](int v, int lines, int kind) {
        const std::string text = content(v, lines);
        Record r{v, kind, monoNs(), 0};
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            std::exit(3);
        writeAll(fd, text.data(), text.size());
        ::close(fd);
        r.doneNs = monoNs();
        record(r);
    };

    sleepMs(300);
    for (int v = 1; v <= versions;) {
        const int kind = pick(0, KindCount - 1);
        const int lines = pick(4, 12);
        if (kind == WriteClose) {
            writeClose(v++, lines, kind);
        } else if (kind == TruncateChunks) {
            const std::string text = content(v, lines);
            Record r{v++, kind, monoNs(), 0};
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            if (fd < 0 || ::ftruncate(fd, 0) != 0)
                std::exit(3);
            const std::size_t third = text.size() / 3;
            writeAll(fd, text.data(), third);
            sleepMs(30);
            writeAll(fd, text.data() + third, third);
            sleepMs(30);
            writeAll(fd, text.data() + 2 * third, text.size() - 2 * third);
            ::close(fd);
            r.doneNs = monoNs();
            record(r);
        } else if (kind == TempRename) {
            const std::string text = content(v, lines);
            const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd < 0)
                std::exit(3);
            writeAll(fd, text.data(), text.size());
            ::close(fd);
            Record r{v++, kind, monoNs(), 0};
            if (::rename(temp.c_str(), path.c_str()) != 0)
                std::exit(3);
            r.doneNs = monoNs();
            record(r);
        } else {
            // Same size, same second: only a fine-grained stamp tells them apart.
            writeClose(v++, lines, kind);
            if (v > versions)
                break;
            sleepMs(pick(5, 150));
            writeClose(v++, lines, kind);
        }
        sleepMs(pick(5, 300));
    }
    ::close(log);
    return 0;
}

std::vector<Record> readLog(const std::string &logPath)
{
    std::vector<Record> records;
    if (FILE *f = std::fopen(logPath.c_str(), "r")) {
        Record r;
        long long s = 0, d = 0;
        while (std::fscanf(f, "%d %d %lld %lld", &r.version, &r.kind, &s, &d) == 4) {
            r.startNs = s;
            r.doneNs = d;
            records.push_back(r);
        }
        std::fclose(f);
    }
    std::sort(records.begin(), records.end(), [](const Record &a, const Record &b) { return a.version < b.version; });
    return records;
}

// ---- driving the windows ---------------------------------------------------

struct Windows
{
    std::unique_ptr<TSCBForm> form;
    std::unique_ptr<TResultsForm> results;

    void build(bool watch)
    {
        form = std::make_unique<TSCBForm>();
        results = std::make_unique<TResultsForm>();
        form->setResultsForm(results.get());
        form->displayFileFeed().setWatchEnabled(watch);
        form->show();
        QMetaObject::invokeMethod(form.get(), "ToggleScoreboard");
    }
    ~Windows()
    {
        if (form)
            QMetaObject::invokeMethod(form.get(), "FormClose");
        results.reset();
        form.reset();
    }
};

struct Figures
{
    int versions = 0, stayed = 0, shown = 0, missed = 0, torn = 0, failures = 0;
    bool finalShown = false;
    double median = 0, p95 = 0, max = 0, stall = 0, stallCpu = 0, busiest = 0, busiestAt = 0;
};

Figures runLatency(bool watch, int versions, unsigned seed, const char *self)
{
    QTemporaryDir work, logDir;
    const QString oldCwd = QDir::currentPath();
    QDir::setCurrent(work.path());
    const std::string path = QDir(work.path()).filePath("Main.txt").toStdString();
    const std::string logPath = QDir(logDir.path()).filePath("writer.log").toStdString();
    {
        FILE *f = std::fopen(path.c_str(), "wb");
        const std::string v0 = content(0, 5);
        std::fwrite(v0.data(), 1, v0.size(), f);
        std::fclose(f);
    }

    Figures fig;
    std::map<int, std::int64_t> firstSeen;
    std::array<std::string, 12> lastFrame;
    bool measuring = false;
    Windows w;
    w.build(watch);
    ScbGrid *grid = w.results->scbGrid();

    auto observe = [&] {
        std::array<std::string, 12> frame;
        for (int r = 0; r < 12; ++r)
            frame[r] = grid->cell(r);
        if (frame == lastFrame)
            return;
        const std::int64_t now = monoNs();
        lastFrame = frame;
        const int v = wholeVersion(frame);
        if (v < 0) {
            if (measuring)
                ++fig.torn;
            return;
        }
        firstSeen.emplace(v, now);
    };
    // Connected after the window's own handlers, so these run right after the
    // tick has set the rows.
    QObject::connect(w.form->findChild<QTimer *>(QStringLiteral("Timer1")), &QTimer::timeout, observe);
    QObject::connect(&w.form->displayFileFeed(), &DisplayFileFeed::fileFinished, observe);

    // The CPU this thread spent inside the longest gap tells the window's own
    // work from the machine handing the processor to someone else.
    std::int64_t lastBeat = 0, longestGap = 0, lastCpu = 0, longestGapCpu = 0;
    std::int64_t busiestGapCpu = 0, busiestAtNs = 0, measureStartNs = 0;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(1);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const std::int64_t now = monoNs();
        const std::int64_t cpu = threadCpuNs();
        if (lastBeat && now - lastBeat > longestGap) {
            longestGap = now - lastBeat;
            longestGapCpu = cpu - lastCpu;
        }
        if (lastBeat && cpu - lastCpu > busiestGapCpu) {
            busiestGapCpu = cpu - lastCpu;
            busiestAtNs = now - measureStartNs;
        }
        lastBeat = now;
        lastCpu = cpu;
        observe();
    });

    heartbeat.start();
    if (!waitUntil([&] { return firstSeen.count(0) > 0; }, 5000))
        std::fprintf(stderr, "version 0 never reached the board\n");
    measuring = true;
    lastBeat = 0;
    longestGap = 0;
    busiestGapCpu = 0;
    measureStartNs = monoNs();

    const pid_t child = ::fork();
    if (child == 0) {
        const std::string n = std::to_string(versions), s = std::to_string(seed);
        ::execl("/proc/self/exe", self, "--writer", path.c_str(), logPath.c_str(), n.c_str(), s.c_str(),
                static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; }, 24 * 3600 * 1000);
    // Long enough for the one-second poll to catch the final state too.
    const std::int64_t settleUntil = monoNs() + 1500 * Ms;
    waitUntil([&] { return monoNs() >= settleUntil; }, 5000);
    heartbeat.stop();
    fig.stall = static_cast<double>(longestGap) / Ms;
    fig.stallCpu = static_cast<double>(longestGapCpu) / Ms;
    fig.busiest = static_cast<double>(busiestGapCpu) / Ms;
    fig.busiestAt = static_cast<double>(busiestAtNs) / 1e9;
    fig.failures = w.form->board().FailureCount();

    const std::vector<Record> records = readLog(logPath);
    fig.versions = static_cast<int>(records.size());
    std::vector<double> latencies;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const Record &r = records[i];
        const std::int64_t stay = i + 1 < records.size() ? records[i + 1].startNs - r.doneNs : INT64_MAX;
        const auto seen = firstSeen.find(r.version);
        if (seen != firstSeen.end())
            ++fig.shown;
        if (stay < MinStayNs)
            continue;
        ++fig.stayed;
        if (seen == firstSeen.end())
            ++fig.missed;
        else
            latencies.push_back(static_cast<double>(seen->second - r.doneNs) / Ms);
    }
    if (!records.empty())
        fig.finalShown = wholeVersion(lastFrame) == records.back().version;
    fig.median = percentile(latencies, 0.5);
    fig.p95 = percentile(latencies, 0.95);
    fig.max = latencies.empty() ? 0 : *std::max_element(latencies.begin(), latencies.end());

    std::array<int, KindCount> kinds{};
    for (const Record &r : records)
        ++kinds[static_cast<std::size_t>(r.kind)];
    std::printf("  writer: exit %d; versions by kind:", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    for (int k = 0; k < KindCount; ++k)
        std::printf(" %s %d%s", KindNames[k], kinds[static_cast<std::size_t>(k)], k + 1 < KindCount ? "," : "\n");

    QDir::setCurrent(oldCwd);
    return fig;
}

void printFigures(const char *mode, const Figures &f)
{
    std::printf("%-6s versions %d, on disk >= 50 ms %d, shown %d (any), missed (>= 50 ms) %d, final state %s\n", mode,
                f.versions, f.stayed, f.shown, f.missed, f.finalShown ? "shown" : "MISSED");
    std::printf("       latency ms: median %.2f  p95 %.2f  max %.2f   torn frames %d   load failures %d   "
                "longest UI stall %.2f ms (of it on this thread's CPU %.2f ms)\n"
                "       busiest gap between heartbeats: %.2f ms of this thread's CPU, %.1f s into the run\n",
                f.median, f.p95, f.max, f.torn, f.failures, f.stall, f.stallCpu, f.busiest, f.busiestAt);
}

// ---- at rest ---------------------------------------------------------------

double cpuSeconds()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec)
        + static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) * 1e-6;
}

int runIdle(int seconds)
{
    QTemporaryDir work;
    const QString oldCwd = QDir::currentPath();
    QDir::setCurrent(work.path());
    if (FILE *f = std::fopen("Main.txt", "wb")) {
        const std::string v = content(1, 12);
        std::fwrite(v.data(), 1, v.size(), f);
        std::fclose(f);
    }
    int ticks = 0;
    {
        Windows w;
        w.build(true);
        for (const auto &[name, value] :
             {std::pair{"ScreenLeft", 0}, {"ScreenTop", 0}, {"ScreenWidth", 1920}, {"ScreenHeight", 1080}})
            w.form->findChild<SpinEdit *>(QLatin1String(name))->setValue(value);
        QObject::connect(w.form->findChild<QTimer *>(QStringLiteral("Timer1")), &QTimer::timeout, [&] { ++ticks; });
        // Let start-up, the first load and the first paints settle.
        const std::int64_t warm = monoNs() + 2000 * Ms;
        waitUntil([&] { return monoNs() >= warm; }, 5000);
        ticks = 0;
        const double cpu0 = cpuSeconds();
        const std::int64_t t0 = monoNs();
        const std::int64_t end = t0 + static_cast<std::int64_t>(seconds) * 1000 * Ms;
        QTimer stop;
        stop.setSingleShot(true);
        QEventLoop loop;
        QObject::connect(&stop, &QTimer::timeout, &loop, &QEventLoop::quit);
        stop.start(static_cast<int>((end - monoNs()) / Ms));
        loop.exec();
        const double cpu = cpuSeconds() - cpu0;
        const double wall = static_cast<double>(monoNs() - t0) / 1e9;
        std::printf("idle: platform %s, board %dx%d visible %d, %.1f s: CPU %.3f s (%.3f%% of one core), %d ticks\n",
                    qPrintable(QGuiApplication::platformName()), w.results->width(), w.results->height(),
                    w.results->isVisible() ? 1 : 0, wall, cpu, 100.0 * cpu / wall, ticks);
    }
    QDir::setCurrent(oldCwd);
    return 0;
}

// ---- what one stat and one read cost ---------------------------------------

void timeIo(const char *label, int runs, const std::function<void()> &prepare, const std::function<void()> &body)
{
    std::vector<double> us;
    for (int i = 0; i < runs; ++i) {
        if (prepare)
            prepare();
        const std::int64_t t0 = monoNs();
        body();
        us.push_back(static_cast<double>(monoNs() - t0) / 1000.0);
    }
    std::printf("  %-40s median %10.1f us   max %10.1f us   (%d runs)\n", label, percentile(us, 0.5),
                *std::max_element(us.begin(), us.end()), runs);
}

int runIo()
{
    QTemporaryDir work;
    std::printf("io: %s\n", qPrintable(work.path()));
    for (const std::size_t size : {std::size_t(2000), std::size_t(1) << 20, std::size_t(50) << 20}) {
        const std::string path = QDir(work.path()).filePath("Main.txt").toStdString();
        {
            std::string text;
            while (text.size() < size)
                text += content(static_cast<int>(text.size()), 12);
            text.resize(size);
            FILE *f = std::fopen(path.c_str(), "wb");
            std::fwrite(text.data(), 1, text.size(), f);
            std::fclose(f);
        }
        const int runs = size > (std::size_t(1) << 20) ? 10 : 200;
        auto evict = [&] {
            // Written back and dropped from the page cache: the next read
            // goes to the disk, as after a long pause on a busy machine.
            const int fd = ::open(path.c_str(), O_RDONLY);
            ::fdatasync(fd);
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            ::close(fd);
        };
        char label[64];
        std::snprintf(label, sizeof label, "stamp + fingerprint (%zu B)", size);
        timeIo(label, runs, nullptr, [&] { (void)scb::stampAndFingerprint(path); });
        std::snprintf(label, sizeof label, "exclusive read, cached (%zu B)", size);
        timeIo(label, runs, nullptr, [&] { (void)scb::readFileExclusive(path).size(); });
        std::snprintf(label, sizeof label, "exclusive read, from disk (%zu B)", size);
        timeIo(label, runs, evict, [&] { (void)scb::readFileExclusive(path).size(); });
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 6 && std::strcmp(argv[1], "--writer") == 0)
        return runWriter(argv[2], argv[3], std::atoi(argv[4]), static_cast<unsigned>(std::atoi(argv[5])));

    int versions = 500, idle = 0;
    unsigned seed = 1;
    bool io = false;
    std::string mode = "both";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--versions" && i + 1 < argc)
            versions = std::atoi(argv[++i]);
        else if (a == "--mode" && i + 1 < argc)
            mode = argv[++i];
        else if (a == "--seed" && i + 1 < argc)
            seed = static_cast<unsigned>(std::atoi(argv[++i]));
        else if (a == "--idle" && i + 1 < argc)
            idle = std::atoi(argv[++i]);
        else if (a == "--io")
            io = true;
        else {
            std::fprintf(stderr,
                         "usage: %s [--versions N] [--mode watch|poll|both] [--seed S] | --idle SECONDS | --io\n",
                         argv[0]);
            return 2;
        }
    }
    if (io)
        return runIo();

    // At rest the board is measured on a real display server when there is
    // one; the latency runs never need one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && (idle == 0 || qEnvironmentVariableIsEmpty("DISPLAY")))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    if (idle > 0)
        return runIdle(idle);

    std::printf("update latency: %d versions, seed %u, pauses 5-300 ms\n", versions, seed);
    if (mode == "watch" || mode == "both")
        printFigures("watch", runLatency(true, versions, seed, argv[0]));
    if (mode == "poll" || mode == "both")
        printFigures("poll", runLatency(false, versions, seed, argv[0]));
    return 0;
}
