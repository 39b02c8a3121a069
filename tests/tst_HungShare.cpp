// A display file on a share that stops answering: the look at the file hangs
// until the test lets it go, and both windows must stay responsive meanwhile.

#include "WindowFixture.h"
#include "core/FileLook.h"
#include "core/TimeText.h"

#include <QElapsedTimer>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

// Looks pass through to the real one, but wait at the gate while it is shut,
// as a stat on a dead mount does. Shared so that a worker left behind by a
// closed window still finds it.
struct Share
{
    std::mutex mutex;
    std::condition_variable changed;
    bool answering = true;
    bool failReads = false;
    int looks = 0;

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

    static scb::BackgroundLook::LookFunction lookThrough(std::shared_ptr<Share> share)
    {
        return [share](const std::string &path, std::int32_t lastAge, const scb::FileFingerprint &lastPrint) {
            bool fail = false;
            {
                std::unique_lock lock(share->mutex);
                ++share->looks;
                share->changed.wait(lock, [&] { return share->answering; });
                fail = share->failReads;
            }
            scb::FileSnapshot s = scb::lookAtFile(path, lastAge, lastPrint);
            if (fail && s.loadAttempted) {
                s.loadFailed = true;
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
        w.form->setFileWatchEnabled(false);
        w.form->Timer1->setInterval(3600 * 1000);
        w.form->setFileLook(Share::lookThrough(share));
        w.form->Timer1Timer();
        QCOMPARE(w.row(0), QStringLiteral("TIME: V1"));
    }

private slots:
    void tick_shareHangs_returnsAtOnceAndAppliesLater();
    void tick_shareHangsThenReadFails_reportsFailure();
    void closeWindow_whileShareHangs_doesNotWait();
};

void tst_HungShare::tick_shareHangs_returnsAtOnceAndAppliesLater()
{
    WindowFixture w;
    auto share = std::make_shared<Share>();
    startOnShare(w, share);
    const int looksBefore = share->lookCount();

    w.writeFile("Main.txt", version(2));
    share->hang();
    QElapsedTimer clock;
    clock.start();
    w.form->Timer1Timer();
    QVERIFY2(clock.elapsed() < Responsive, "the tick waited for the hung share");
    QCOMPARE(w.row(0), QStringLiteral("TIME: V1"));
    QVERIFY(w.form->Timer1->isActive());

    bool loopRan = false;
    QTimer::singleShot(0, [&] { loopRan = true; });
    QTRY_VERIFY(loopRan);

    // A tick while the look still hangs is dropped: no second look, no change.
    clock.restart();
    w.form->Timer1Timer();
    QVERIFY(clock.elapsed() < Responsive);
    QCOMPARE(share->lookCount(), looksBefore + 1);
    QCOMPARE(w.row(0), QStringLiteral("TIME: V1"));

    share->answer();
    QTRY_COMPARE(w.row(0), QStringLiteral("TIME: V2"));
    QCOMPARE(w.row(1), QStringLiteral("row 1"));
    QCOMPARE(QByteArray::fromStdString(w.form->MainMemo->lines().text()), version(2));
    const std::string path = w.path("Main.txt").toStdString();
    QCOMPARE(w.form->state().LastFileAge, scb::fileAge(path));
    QCOMPARE(w.form->state().LastFingerprint, scb::fingerprint(path));

    // Back to the synchronous tick once the share answers again.
    w.writeFile("Main.txt", version(3));
    w.form->Timer1Timer();
    QCOMPARE(w.row(0), QStringLiteral("TIME: V3"));
}

void tst_HungShare::tick_shareHangsThenReadFails_reportsFailure()
{
    WindowFixture w;
    auto share = std::make_shared<Share>();
    startOnShare(w, share);
    const int failuresBefore = w.form->state().FailureCount;

    w.writeFile("Main.txt", version(2));
    {
        const std::lock_guard lock(share->mutex);
        share->failReads = true;
    }
    share->hang();
    const QString labelBefore = w.form->Label1->text();
    w.form->Timer1Timer();
    QCOMPARE(w.form->Label1->text(), labelBefore);
    QCOMPARE(w.form->state().FailureCount, failuresBefore);

    share->answer();
    const char sep = scb::localeTimeSeparator();
    const QString expected = QStringLiteral("Last Failure at 14") + QChar(sep) + QStringLiteral("07.33  Cnt:")
        + QString::number(failuresBefore + 1);
    QTRY_COMPARE(w.form->Label1->text(), expected);
    QCOMPARE(w.form->state().FailureCount, failuresBefore + 1);
    QCOMPARE(w.form->state().LastFileAge, 0);
    QCOMPARE(w.row(0), QStringLiteral("TIME: V1"));

    // The forgotten stamp makes the next tick read again.
    {
        const std::lock_guard lock(share->mutex);
        share->failReads = false;
    }
    w.form->Timer1Timer();
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
        w.form->Timer1Timer();
        clock.start();
    }
    QVERIFY2(clock.elapsed() < Responsive, "closing waited for the hung share");
    share->answer(); // the worker left behind ends before the process does
}

SCB_WINDOW_TEST_MAIN(tst_HungShare)
#include "tst_HungShare.moc"
