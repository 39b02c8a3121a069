// How long one endless line in the display file holds the interface.
//
// The display file is a single line ("TIME: " and then letters) of the given
// size. The real windows run with the board shown at 1920 x 1080 and the
// one-second poll; a 1 ms heartbeat on the interface thread records the
// longest gap between its beats. The feed puts the line on row 0 from the
// third tick on (the first two append the blank-file message, which gives
// the file its third line), and every tick after that sets the row again, so
// the run shows both the first layout of the line and the cost of each
// once-a-second repaint.
//
//   bench_long_line [--mib N]... [--mixed] [--seconds S]   (S at least 5, default 7)
//
// Without --mib it runs 1 MiB and 50 MiB. --mixed fills the line with Hebrew
// and Latin words instead of Latin letters alone. BENCH_TRACE=1 lists every
// gap over 50 ms.

#include "BenchTime.h"
#include "Application.h"
#include "Unit_Main.h"
#include "Unit_Results.h"
#include "widgets/ScbGrid.h"
#include "widgets/SpinEdit.h"

#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <time.h>
#include <vector>

using bench::monoNs;
using bench::threadCpuNs;

namespace {

std::string longLine(std::size_t bytes, bool mixed)
{
    const std::string word = mixed ? "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D world " : "ABCDEFGHIJ ";
    std::string out = "TIME: ";
    out.reserve(bytes + word.size());
    while (out.size() < bytes)
        out += word;
    // Never end inside a UTF-8 sequence: the line stays what it claims to be.
    while (out.size() > bytes && (static_cast<unsigned char>(out.back()) & 0x80))
        out.pop_back();
    out.resize(std::min(out.size(), bytes));
    return out;
}

// Notes each paint of the grid once its row holds the line.
class PaintSpy : public QObject
{
public:
    std::function<void()> onPaint;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && onPaint)
            onPaint();
        return false;
    }
};

struct Figures
{
    double longestMs = 0;      // the longest gap between heartbeats
    double longestCpuMs = 0;   // of it, on this thread's CPU: the rest is other load
    double longestSteadyMs = 0; // the same after the row's first paint
    double closeMs = 0;
    bool rowShown = false;
};

Figures run(std::size_t bytes, bool mixed, int seconds)
{
    QTemporaryDir work;
    const QString oldCwd = QDir::currentPath();
    QDir::setCurrent(work.path());
    const std::string text = longLine(bytes, mixed);
    if (FILE *f = std::fopen("Main.txt", "wb")) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }

    Figures fig;
    auto form = std::make_unique<TSCBForm>();
    auto results = std::make_unique<TResultsForm>();
    form->setResultsForm(results.get());
    form->show();
    QMetaObject::invokeMethod(form.get(), "ToggleScoreboard");
    for (const auto &[name, value] :
         {std::pair{"ScreenLeft", 0}, {"ScreenTop", 0}, {"ScreenWidth", 1920}, {"ScreenHeight", 1080}})
        form->findChild<SpinEdit *>(QLatin1String(name))->setValue(value);
    ScbGrid *grid = results->scbGrid();

    std::int64_t lastBeat = 0, lastCpu = 0, shownAt = 0, firstPaintAt = 0;
    int paints = 0;
    PaintSpy spy;
    spy.onPaint = [&] {
        if (!shownAt)
            return;
        if (!firstPaintAt)
            firstPaintAt = monoNs();
        ++paints;
    };
    grid->installEventFilter(&spy);
    const std::int64_t t0 = monoNs();
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(1);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const std::int64_t now = monoNs();
        const std::int64_t cpu = threadCpuNs();
        if (!shownAt && grid->cell(0).size() == text.size())
            shownAt = now;
        if (lastBeat) {
            const double gap = static_cast<double>(now - lastBeat) / 1e6;
            if (gap > 50 && qEnvironmentVariableIsSet("BENCH_TRACE"))
                std::printf("  gap %.1f ms (%.1f ms on CPU) ending %.2f s, row %s\n", gap, double(cpu - lastCpu) / 1e6,
                            double(now - t0) / 1e9, shownAt ? "set" : "unset");
            if (gap > fig.longestMs) {
                fig.longestMs = gap;
                fig.longestCpuMs = static_cast<double>(cpu - lastCpu) / 1e6;
            }
            // A gap that starts after the row's first paint holds repaints
            // of an unchanged row.
            if (firstPaintAt && lastBeat > firstPaintAt)
                fig.longestSteadyMs = std::max(fig.longestSteadyMs, gap);
        }
        lastBeat = now;
        lastCpu = cpu;
    });
    heartbeat.start();
    // At least the given time, and three repaints after the row's first
    // paint, so a slow first paint still leaves repaints to measure.
    QTimer stop;
    QEventLoop loop;
    QObject::connect(&stop, &QTimer::timeout, [&] {
        const std::int64_t now = monoNs();
        if ((now - t0 >= std::int64_t(seconds) * 1'000'000'000 && paints >= 4)
            || now - t0 >= 300'000'000'000)
            loop.quit();
    });
    stop.start(100);
    loop.exec();
    heartbeat.stop();
    fig.rowShown = shownAt != 0;

    const std::int64_t c0 = monoNs();
    QMetaObject::invokeMethod(form.get(), "FormClose");
    results.reset();
    form.reset();
    fig.closeMs = static_cast<double>(monoNs() - c0) / 1e6;
    QDir::setCurrent(oldCwd);
    return fig;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<int> mib;
    bool mixed = false;
    int seconds = 7;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--mib" && i + 1 < argc) {
            mib.push_back(std::atoi(argv[++i]));
        } else if (a == "--mixed") {
            mixed = true;
        } else if (a == "--seconds" && i + 1 < argc) {
            seconds = std::max(5, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: %s [--mib N]... [--mixed] [--seconds S]\n", argv[0]);
            return 2;
        }
    }
    if (mib.empty())
        mib = {1, 50};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    for (const int m : mib) {
        const Figures f = run(static_cast<std::size_t>(m) << 20, mixed, seconds);
        std::printf("long line %d MiB%s, %d s: longest stall %.1f ms (%.1f ms of it on CPU), longest after the first paint %.1f ms, "
                    "close %.1f ms, row shown %s\n",
                    m, mixed ? " (Hebrew and Latin)" : "", seconds, f.longestMs, f.longestCpuMs, f.longestSteadyMs,
                    f.closeMs, f.rowShown ? "yes" : "NO");
        std::fflush(stdout);
    }
    return 0;
}
