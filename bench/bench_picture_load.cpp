// How long loading a large background picture holds the interface.
//
// The real windows run while a 1 ms heartbeat on the interface thread records
// the longest gap between its beats, from just before the load until the
// picture is in place (and a little after, for whatever follows it). Three
// pictures, each at the largest size the checks allow (100 MiB decoded):
//   - a 5120 x 5120 bitmap of 32 bits a pixel (100 MiB on disk), named in
//     the settings file and so loaded at start-up;
//   - the same bitmap chosen while the windows run;
//   - an icon "bomb": a few kilobytes of PNG inside an icon that decodes to
//     the same 100 MiB.
//
//   bench_picture_load [--runs N]      (default 3; the longest gap of each run)

#include "BenchTime.h"
#include "Application.h"
#include "Unit_Main.h"
#include "Unit_Results.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using bench::monoNs;
using bench::threadCpuNs;
using bench::waitUntil;

namespace {

constexpr int Side = 5120;

QByteArray le16(quint32 v)
{
    QByteArray out;
    out.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
    return out;
}

QByteArray le32(quint32 v)
{
    return le16(v & 0xFFFF) + le16(v >> 16);
}

QByteArray bigBitmap()
{
    const quint32 pixelBytes = quint32(Side) * Side * 4;
    const QByteArray info = le32(40) + le32(Side) + le32(Side) + le16(1) + le16(32) + le32(0) + le32(pixelBytes)
        + le32(2835) + le32(2835) + le32(0) + le32(0);
    const quint32 offset = 14 + quint32(info.size());
    QByteArray out = "BM" + le32(offset + pixelBytes) + le32(0) + le32(offset) + info;
    out.append(qsizetype(pixelBytes), '\x5a');
    return out;
}

QByteArray iconBomb()
{
    QImage picture(Side, Side, QImage::Format_ARGB32);
    picture.fill(Qt::darkCyan);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return le16(0) + le16(1) + le16(1) + QByteArray("\0\0\0\0", 4) + le16(1) + le16(32)
        + le32(quint32(png.size())) + le32(6 + 16) + png;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

struct Gap
{
    double ms = 0;
    double cpuMs = 0;
};

// The longest heartbeat gap from just before act() until the picture is in
// place and 200 ms more have passed; ms < 0 when it never arrived.
Gap measure(TSCBForm &form, const std::function<void()> &act)
{
    Gap longest;
    std::int64_t lastBeat = 0, lastCpu = 0;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(1);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const std::int64_t now = monoNs();
        const std::int64_t cpu = threadCpuNs();
        if (lastBeat && double(now - lastBeat) / 1e6 > longest.ms)
            longest = {double(now - lastBeat) / 1e6, double(cpu - lastCpu) / 1e6};
        lastBeat = now;
        lastCpu = cpu;
    });
    heartbeat.start();
    waitUntil([] { return false; }, 50);
    act();
    const bool arrived = waitUntil([&] { return form.backgroundPicture().width() == Side; }, 30'000);
    waitUntil([] { return false; }, 200);
    if (!arrived)
        longest.ms = -1;
    return longest;
}

Gap run(const QString &kind)
{
    QTemporaryDir work;
    const QString oldCwd = QDir::currentPath();
    QDir::setCurrent(work.path());
    const bool icon = kind == "icon";
    const QString picture = work.filePath(icon ? "bomb.ico" : "big.bmp");
    writeFile(picture, icon ? iconBomb() : bigBitmap());
    writeFile(work.filePath("Main.txt"), "TIME: 10:00\r\nrow 1\r\nrow 2\r\n");
    if (kind == "start-up")
        writeFile(work.filePath("Resolution.ini"), "[Settings]\r\nBackgroundImage=" + QFile::encodeName(picture) + "\r\n");

    auto form = std::make_unique<TSCBForm>();
    auto results = std::make_unique<TResultsForm>();
    form->setResultsForm(results.get());
    Gap gap;
    if (kind == "start-up") {
        gap = measure(*form, [&] { form->show(); });
    } else {
        form->show();
        waitUntil([] { return false; }, 300);
        gap = measure(*form, [&] {
            form->state().Choices.Look.BackgroundImagePath = QFile::encodeName(picture).toStdString();
            QMetaObject::invokeMethod(form.get(), "LoadBackgroundImage");
        });
    }
    results.reset();
    form.reset();
    QDir::setCurrent(oldCwd);
    return gap;
}

} // namespace

int main(int argc, char **argv)
{
    int runs = 3;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: %s [--runs N]\n", argv[0]);
            return 2;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    const struct
    {
        const char *kind;
        const char *label;
    } cases[] = {{"start-up", "100 MiB bitmap at start-up"},
                 {"chosen", "100 MiB bitmap chosen"},
                 {"icon", "icon bomb (PNG in an icon, 100 MiB decoded) chosen"}};
    for (const auto &c : cases) {
        std::vector<double> gaps;
        double worstCpu = 0;
        bool missing = false;
        for (int r = 0; r < runs; ++r) {
            const Gap g = run(QString::fromLatin1(c.kind));
            missing = missing || g.ms < 0;
            if (g.ms > 0 && (gaps.empty() || g.ms > *std::max_element(gaps.begin(), gaps.end())))
                worstCpu = g.cpuMs;
            gaps.push_back(g.ms);
        }
        std::sort(gaps.begin(), gaps.end());
        std::printf("%s: longest stall, median of %d runs %.1f ms, worst %.1f ms (%.1f ms of it on CPU)%s\n", c.label,
                    runs, gaps[gaps.size() / 2], gaps.back(), worstCpu, missing ? ", picture NOT shown" : "");
        std::fflush(stdout);
    }
    return 0;
}
