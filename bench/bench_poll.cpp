// Cost of the once-a-second poll: what an idle tick, a reload and the row feed
// take in wall time and in this process's CPU time. Prints medians; the
// interesting figures are an idle tick in microseconds and a 50 MB reload
// well under half a second, with the feed flat in the file's size.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include <time.h>

#include "core/BoardModel.h"
#include "core/PollTick.h"
#include "core/PreviewLines.h"
#include "core/platform/Platform.h"

namespace {

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double wallSeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Runs `prepare` (untimed) then `body` `perBatch` times per batch and reports
// the median per-call cost over `batches` batches.
void measure(const char *label, int batches, int perBatch, const std::function<void()> &prepare,
             const std::function<void()> &body)
{
    std::vector<double> wall, cpu;
    for (int b = 0; b < batches; ++b) {
        double w = 0, c = 0;
        for (int i = 0; i < perBatch; ++i) {
            if (prepare)
                prepare();
            const double w0 = wallSeconds();
            const double c0 = cpuSeconds();
            body();
            c += cpuSeconds() - c0;
            w += wallSeconds() - w0;
        }
        wall.push_back(w / perBatch);
        cpu.push_back(c / perBatch);
    }
    std::printf("%-48s wall %12.3f us   cpu %12.3f us   (median of %d x %d)\n", label, median(wall) * 1e6,
                median(cpu) * 1e6, batches, perBatch);
}

// Same, with the timer around a whole batch: the calls are too short for a
// clock reading per call.
void measureTight(const char *label, int batches, int perBatch, const std::function<void()> &body)
{
    std::vector<double> wall, cpu;
    for (int b = 0; b < batches; ++b) {
        const double w0 = wallSeconds();
        const double c0 = cpuSeconds();
        for (int i = 0; i < perBatch; ++i)
            body();
        cpu.push_back((cpuSeconds() - c0) / perBatch);
        wall.push_back((wallSeconds() - w0) / perBatch);
    }
    std::printf("%-48s wall %12.3f us   cpu %12.3f us   (median of %d x %d)\n", label, median(wall) * 1e6,
                median(cpu) * 1e6, batches, perBatch);
}

std::string displayText(std::size_t bytes)
{
    std::string text = "\r\n\r\n\r\nTeams - Free Routine Preliminary\r\nSTART LIST\r\n";
    for (int rank = 1; text.size() < bytes; ++rank) {
        char line[64];
        std::snprintf(line, sizeof line, "%3d  COMPETITOR %-10d      87.1234\r\n", rank % 1000, rank);
        text += line;
    }
    text.resize(bytes);
    return text;
}

void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// One tick as the control window makes it, minus the worker thread; reread
// looks as if the file had never been seen, so it is read again.
void tick(scb::BoardModel &board, const std::string &path, const scb::TickEnvironment &env, bool reread = false)
{
    board.apply(reread ? scb::lookAtFile(path, 0, {}) : scb::lookAtFile(path, board.LastFileAge(), board.LastFingerprint()),
                env);
}

} // namespace

int main()
{
    char dirTemplate[] = "/tmp/bench_poll.XXXXXX";
    const char *dir = mkdtemp(dirTemplate);
    if (dir == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string path = std::string(dir) + "/Main.txt";

    scb::TickEnvironment env;
    env.now = [] { return std::tm{}; };
    env.timeSeparator = scb::localeTimeSeparator();

    // (a) and (b): a 2 KB display file.
    {
        writeFile(path, displayText(2048));
        scb::BoardModel board;
        tick(board, path, env);
        measureTight("(a) tick, unchanged 2 KB file", 51, 2000, [&] { tick(board, path, env); });
        measure("(b) tick reloading 2 KB file", 51, 200, [&] { board.edit({}); },
                [&] { tick(board, path, env, true); });
        measure("(b') tick re-reading 2 KB, same text", 51, 200, [] {}, [&] { tick(board, path, env, true); });
    }

    // (c) and (d): large files.
    for (const std::size_t mb : {1u, 50u}) {
        const std::string text = displayText(mb << 20);
        writeFile(path, text);
        scb::BoardModel board;
        const int runs = mb > 1 ? 21 : 51;
        const std::string tag = std::to_string(mb) + " MB";

        measure(("(c) tick reloading + feed, " + tag).c_str(), runs, 1,
                [&] { board.edit({}); }, [&] { tick(board, path, env, true); });

        // Cold: a text whose line starts are not known yet, with the caches
        // flushed the same way for both sizes.
        scb::PreviewLines cold(text);
        std::vector<char> flush(64u << 20);
        measure(("(d) feed alone, fresh text, cold cache, " + tag).c_str(), 31, 1,
                [&] {
                    cold = scb::PreviewLines(text);
                    std::fill(flush.begin(), flush.end(), static_cast<char>(flush[0] + 1));
                },
                [&] { scb::feedRows(cold); });
        measureTight(("(d) feed alone, repeated, " + tag).c_str(), 51, 2000, [&] { scb::feedRows(cold); });
    }

    unlink(path.c_str());
    rmdir(dir);
    return 0;
}
