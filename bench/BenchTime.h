#pragma once
// Clocks and waits the benchmarks share.

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include <time.h>

namespace bench {

inline std::int64_t clockNs(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

inline std::int64_t monoNs()
{
    return clockNs(CLOCK_MONOTONIC);
}

// This thread's CPU time: tells its own work from the machine handing the
// processor to someone else.
inline std::int64_t threadCpuNs()
{
    return clockNs(CLOCK_THREAD_CPUTIME_ID);
}

// Sleeps in the event loop until done() or the time-out, looking again at
// least every millisecond. It never spins, so the thread's CPU time is its
// own work and the machine's other core stays free for what is measured.
inline bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    QTimer wake;
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(1);
    while (!done()) {
        if (t.elapsed() >= timeoutMs)
            return false;
        QCoreApplication::eventDispatcher()->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// The value at fraction p of the sorted values (0 for none).
inline double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t i = std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5));
    return v[i];
}

} // namespace bench
