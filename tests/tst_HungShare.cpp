// A share that stops answering: every call the windows make to it hangs
// until the test lets it go, and both windows must stay responsive meanwhile;
// what the calls find lands once the share answers again.

#include "WindowFixture.h"
#include "adapters/DisplayFileFeed.h"
#include "core/FileLook.h"
#include "core/platform/Platform.h"

#include <QElapsedTimer>
#include <QBuffer>
#include <QImage>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

// Calls pass through to the real file system, but wait at the gate while it
// is shut, as a stat on a dead mount does. Shared so that a worker left behind
// by a closed window still finds it.
struct Share
{
    std::mutex mutex;
    std::condition_variable changed;
    std::string folder; // the share's paths start with it; empty: every path
    bool answering = true;
    bool failReads = false;
    bool slowReads = false; // the stat answers at once, the read waits at the gate
    int looks = 0;
    int held = 0;

    // A call still made on the interface thread would otherwise hang the
    // test instead of failing it.
    static constexpr std::chrono::seconds HangLimit{5};

    void hang()
    {
        const std::lock_guard lock(mutex);
        answering = false;
    }

    void answer()
    {
        {
            const std::lock_guard lock(mutex);
            answering = true;
        }
        changed.notify_all();
    }

    int lookCount()
    {
        const std::lock_guard lock(mutex);
        return looks;
    }

    int heldCount()
    {
        const std::lock_guard lock(mutex);
        return held;
    }

    void pass(const std::string &path)
    {
        std::unique_lock lock(mutex);
        if (path.rfind(folder, 0) != 0)
            return;
        ++held;
        changed.wait_for(lock, HangLimit, [&] { return answering; });
        --held;
    }

    static scb::FileSystemGate gate(std::shared_ptr<Share> share)
    {
        return [share](const std::string &path) { share->pass(path); };
    }

    static scb::LookFunction lookThrough(std::shared_ptr<Share> share)
    {
        return [share](const std::string &path, std::int32_t lastAge, const scb::FileFingerprint &lastPrint,
                       scb::FileWatch *writers) {
            bool fail = false;
            bool slow = false;
            {
                const std::lock_guard lock(share->mutex);
                ++share->looks;
                slow = share->slowReads;
            }
            if (slow)
                scb::workAhead(scb::stampAndFingerprint(path).print.size);
            share->pass(path);
            {
                const std::lock_guard lock(share->mutex);
                fail = share->failReads;
            }
            scb::FileSnapshot s = scb::lookAtFile(path, lastAge, lastPrint, writers);
            if (fail && s.loadAttempted) {
                s.failure = scb::ReadFailure::Unreadable;
                s.bytes.clear();
            }
            return s;
        };
    }
};

QByteArray version(int v)
{
    return "TIME: V" + QByteArray::number(v) + "\r\nrow 1\r\nrow 2\r\n";
}

// A hang guard, not a benchmark: a blocked interface thread would take the
// whole time the share is held.
constexpr qint64 Responsive = 1000;

QByteArray settingsNaming(const QString &displayFile, const QString &picture)
{
    return "[Settings]\r\nDisplayFile=" + QFile::encodeName(displayFile) + "\r\nBackgroundImage="
        + QFile::encodeName(picture) + "\r\n";
}

QByteArray bitmap()
{
    QImage picture(4, 3, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "BMP");
    return bytes;
}

// What the operator can see the calls' results in, with the test's folder
// named alike for every run.
QString seen(const WindowFixture &w)
{
    const scb::DisplayState &state = w.form->state();
    const QSize size = w.grid()->picture().size();
    QString text = QStringLiteral("display file %1, row 0 %2 | picture %3, loaded %4, %5x%6 | messages %7")
                       .arg(w.child<FileOpenEdit>("XMLFile")->filename(), w.row(0),
                            QString::fromStdString(state.Choices.Look.BackgroundImagePath))
                       .arg(state.BackgroundLoaded)
                       .arg(size.width())
                       .arg(size.height())
                       .arg(w.dialogs->messages.join(u'/'));
    return text.replace(w.dir(), QStringLiteral("<dir>"));
}

} // namespace

class tst_HungShare : public QObject
{
    Q_OBJECT

    // Started on Main.txt with version 1 on the board; the folder watch and
    // the timer's own ticks kept out of the way so that only the test ticks.
    void startOnShare(WindowFixture &w, const std::shared_ptr<Share> &share)
    {
        w.writeFile("Main.txt", version(1));
        w.start();
        w.form->displayFileFeed().setWatchEnabled(false);
        w.child<QTimer>("Timer1")->setInterval(3600 * 1000);
        w.form->displayFileFeed().setLook(Share::lookThrough(share));
        w.tick();
        QCOMPARE(w.row(0), QStringLiteral("TIME: V1"));
    }

    // The scenario's files: the share is the folder "share" in the test's
    // folder, and the settings name what the scenario keeps there.
    void prepare(WindowFixture &w, const QString &scenario)
    {
        QVERIFY(QDir(w.dir()).mkdir("share"));
        w.writeFile("share/pic.bmp", bitmap());
        w.writeFile("share/bad.bmp", "BM");
        if (scenario != "start-up: display file gone from the share")
            w.writeFile("share/Main.txt", version(2));
        w.writeFile("Main.txt", version(1));
        const bool fileOnShare = scenario.startsWith("start-up: display file");
        const bool pictureOnShare = scenario == "start-up: picture" || scenario == "picture dialog over the share";
        w.writeFile("Resolution.ini", settingsNaming(w.path(fileOnShare ? "share/Main.txt" : "Main.txt"),
                                                     pictureOnShare ? w.path("share/pic.bmp") : QString()));
    }

    // What the operator does once the windows are up.
    void act(WindowFixture &w, const QString &scenario)
    {
        if (scenario == "typed path on the share") {
            w.child<FileOpenEdit>("XMLFile")->setFilename(w.path("share/Main.txt"));
            w.tick();
        } else if (scenario == "picture chosen on the share") {
            w.dialogs->pictures.push_back(w.path("share/pic.bmp"));
            QVERIFY(w.call("ButtonBackgroundImageClick"));
        } else if (scenario == "broken picture chosen on the share") {
            w.dialogs->pictures.push_back(w.path("share/bad.bmp"));
            QVERIFY(w.call("ButtonBackgroundImageClick"));
        } else if (scenario == "picture dialog over the share") {
            w.dialogs->pictures.push_back(std::nullopt);
            w.dialogs->confirmations.push_back(false);
            QVERIFY(w.call("ButtonBackgroundImageClick"));
        }
    }

private slots:
    void shareHangs_windowsAnswer_resultsLandLater_data();
    void shareHangs_windowsAnswer_resultsLandLater();
    void tick_shareHangs_returnsAtOnceAndAppliesLater_data();
    void tick_shareHangs_returnsAtOnceAndAppliesLater();
    void tick_shareHangsThenReadFails_reportsFailure();
    void closeWindow_whileShareHangs_doesNotWait();
};

void tst_HungShare::shareHangs_windowsAnswer_resultsLandLater_data()
{
    QTest::addColumn<QString>("scenario");
    for (const char *scenario : {"start-up: display file on the share", "start-up: display file gone from the share",
                                 "start-up: picture", "typed path on the share", "picture chosen on the share",
                                 "broken picture chosen on the share", "picture dialog over the share"})
        QTest::newRow(scenario) << QString::fromLatin1(scenario);
}

void tst_HungShare::shareHangs_windowsAnswer_resultsLandLater()
{
    QFETCH(QString, scenario);
    const bool atStart = scenario.startsWith("start-up");

    // What a share that answers gives, everything in place at once.
    QString expected;
    {
        WindowFixture w;
        prepare(w, scenario);
        w.start();
        act(w, scenario);
        w.tick();
        expected = seen(w);
    }

    WindowFixture w;
    auto share = std::make_shared<Share>();
    prepare(w, scenario);
    share->folder = w.path("share").toStdString();
    w.fileSystemGate = Share::gate(share);
    QElapsedTimer clock;
    if (atStart) {
        share->hang();
        clock.start();
        w.start();
    } else {
        w.start();
        share->hang();
        clock.start();
        act(w, scenario);
    }
    QVERIFY2(clock.elapsed() < Responsive, "the window waited for the hung share");
    w.child<QTimer>("Timer1")->setInterval(20);
    QTRY_VERIFY(share->heldCount() > 0);
    bool loopRan = false;
    QTimer::singleShot(0, [&] { loopRan = true; });
    QTRY_VERIFY(loopRan);

    share->answer();
    QTRY_COMPARE(seen(w), expected);
}

void tst_HungShare::tick_shareHangs_returnsAtOnceAndAppliesLater_data()
{
    QTest::addColumn<bool>("slowRead");
    QTest::newRow("share stops answering") << false;
    // However long the read: the interface never waits for a large one.
    QTest::newRow("large file read slowly") << true;
}

void tst_HungShare::tick_shareHangs_returnsAtOnceAndAppliesLater()
{
    QFETCH(bool, slowRead);
    WindowFixture w;
    auto share = std::make_shared<Share>();
    startOnShare(w, share);
    const int looksBefore = share->lookCount();

    const QByteArray second = slowRead ? version(2) + QByteArray(2 << 20, 'x') : version(2);
    w.writeFile("Main.txt", second);
    {
        const std::lock_guard lock(share->mutex);
        share->slowReads = slowRead;
    }
    share->hang();
    QElapsedTimer clock;
    clock.start();
    w.tick();
    QVERIFY2(clock.elapsed() < Responsive, "the tick waited for the hung share");
    QCOMPARE(w.row(0), QStringLiteral("TIME: V1"));
    QVERIFY(w.child<QTimer>("Timer1")->isActive());
    // The tick is over while the look is still inside the share.
    QTRY_COMPARE(share->heldCount(), 1);
    QVERIFY(w.form->displayFileFeed().lookPending());

    bool loopRan = false;
    QTimer::singleShot(0, [&] { loopRan = true; });
    QTRY_VERIFY(loopRan);

    // A tick while the look still hangs is dropped: no second look, no change.
    clock.restart();
    w.tick();
    QVERIFY(clock.elapsed() < Responsive);
    QCOMPARE(share->lookCount(), looksBefore + 1);
    QCOMPARE(w.row(0), QStringLiteral("TIME: V1"));

    share->answer();
    QTRY_COMPARE(w.row(0), QStringLiteral("TIME: V2"));
    QCOMPARE(w.row(1), QStringLiteral("row 1"));
    QCOMPARE(QByteArray::fromStdString(w.form->board().lines().text()), second);
    const std::string path = w.path("Main.txt").toStdString();
    QCOMPARE(w.form->board().LastFileAge(), scb::fileAge(path));
    QCOMPARE(w.form->board().LastFingerprint(), scb::stampAndFingerprint(path).print);

    // Back to the synchronous tick once the share answers again.
    w.writeFile("Main.txt", version(3));
    w.tick();
    QCOMPARE(w.row(0), QStringLiteral("TIME: V3"));
}

void tst_HungShare::tick_shareHangsThenReadFails_reportsFailure()
{
    WindowFixture w;
    auto share = std::make_shared<Share>();
    startOnShare(w, share);
    const int failuresBefore = w.form->board().FailureCount();

    w.writeFile("Main.txt", version(2));
    {
        const std::lock_guard lock(share->mutex);
        share->failReads = true;
    }
    share->hang();
    const QString labelBefore = w.child<QLabel>("Label1")->text();
    w.tick();
    QCOMPARE(w.child<QLabel>("Label1")->text(), labelBefore);
    QCOMPARE(w.form->board().FailureCount(), failuresBefore);

    share->answer();
    const char sep = scb::localeTimeSeparator();
    const QString expected = QStringLiteral("Last Failure at 14") + QChar(sep) + QStringLiteral("07.33  Cnt:")
        + QString::number(failuresBefore + 1);
    QTRY_COMPARE(w.child<QLabel>("Label1")->text(), expected);
    QCOMPARE(w.form->board().FailureCount(), failuresBefore + 1);
    QCOMPARE(w.form->board().LastFileAge(), 0);
    QCOMPARE(w.row(0), QStringLiteral("TIME: V1"));

    // The forgotten stamp makes the next tick read again.
    {
        const std::lock_guard lock(share->mutex);
        share->failReads = false;
    }
    w.tick();
    QCOMPARE(w.row(0), QStringLiteral("TIME: V2"));
}

void tst_HungShare::closeWindow_whileShareHangs_doesNotWait()
{
    auto share = std::make_shared<Share>();
    QElapsedTimer clock;
    {
        WindowFixture w;
        startOnShare(w, share);
        w.writeFile("Main.txt", version(2));
        share->hang();
        w.tick();
        clock.start();
    }
    QVERIFY2(clock.elapsed() < Responsive, "closing waited for the hung share");
    share->answer(); // the worker left behind ends before the process does
}

SCB_WINDOW_TEST_MAIN(tst_HungShare)
#include "tst_HungShare.moc"
