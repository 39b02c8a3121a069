// The feed follows the display file through its folder watch alone: the
// poll timer is never started, so only an announced finish brings a look, as
// the control window runs one.

#include "adapters/DisplayFileFeed.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <future>

namespace {

QByteArray version(int v, const QByteArray &tag = "V")
{
    QByteArray out = "TIME: " + tag + QByteArray::number(v) + "\r\n";
    for (int i = 1; i < 5; ++i)
        out += tag + QByteArray::number(v) + " line " + QByteArray::number(i) + "\r\n";
    return out;
}

bool renameOver(const QString &from, const QString &to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

// A share that stops answering until opened; shared with a worker that may
// still wait in it when the test ends.
struct Gate
{
    std::promise<void> opened;
    std::shared_future<void> open = opened.get_future().share();
    std::atomic<int> held{0};

    void pass()
    {
        ++held;
        open.wait_for(std::chrono::seconds(5));
        --held;
    }
};

// The feed as the control window drives it: every finish runs a look
// against what the last one loaded; the text of each load is kept.
class Follower
{
    QObject m_context;
    std::string m_path;
    std::int32_t m_age = 0;
    scb::FileFingerprint m_print;

public:
    explicit Follower(const QString &path)
        : m_path(QFile::encodeName(path).toStdString()),
          feed(&timer,
               [this](std::function<void()> landing) {
                   QMetaObject::invokeMethod(&m_context, std::move(landing), Qt::QueuedConnection);
               },
               [this](scb::FileSnapshot &&s) { take(std::move(s)); }, nullptr)
    {
        QObject::connect(&feed, &DisplayFileFeed::fileFinished, &m_context, [this] { look(); });
    }

    void look() { feed.look(m_path, m_age, m_print); }
    void setPath(const QString &path) { m_path = QFile::encodeName(path).toStdString(); }

    QTimer timer; // never started
    QByteArray shown;
    DisplayFileFeed feed;

private:
    void take(scb::FileSnapshot &&s)
    {
        if (!s.loadAttempted || s.loadFailed())
            return;
        m_age = s.stamp.age;
        m_print = s.stamp.print;
        shown = QByteArray::fromStdString(s.text ? s.text->text() : s.bytes);
    }
};

} // namespace

class tst_DisplayFileFeed : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    void writeFile(const QString &name, const QByteArray &bytes)
    {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(bytes), bytes.size());
    }

    // Following Main.txt, version 1 shown through the watch.
    void startWatchOnly(Follower &f)
    {
        writeFile("Main.txt", version(0));
        f.look();
        QCOMPARE(f.shown, version(0));
        writeFile("Main.txt", version(1));
        QTRY_COMPARE(f.shown, version(1));
    }

private slots:
    void initTestCase()
    {
#if !defined(__linux__)
        QSKIP("the folder watch exists on Linux only");
#endif
    }

    void replacedFile_shownAndStillWatched_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("rewritten in place") << "write";
        QTest::newRow("renamed over") << "rename";
        QTest::newRow("deleted and made anew") << "recreate";
    }

    void replacedFile_shownAndStillWatched()
    {
        QFETCH(QString, how);
        Follower f(path("Main.txt"));
        startWatchOnly(f);
        for (int v = 2; v <= 4; ++v) {
            if (how == "rename") {
                writeFile("Main.tmp", version(v));
                QVERIFY(renameOver(path("Main.tmp"), path("Main.txt")));
            } else {
                if (how == "recreate")
                    QVERIFY(QFile::remove(path("Main.txt")));
                writeFile("Main.txt", version(v));
            }
            QTRY_COMPARE(f.shown, version(v));
        }
        // Whatever replaced it, a plain rewrite afterwards is still seen.
        writeFile("Main.txt", version(9));
        QTRY_COMPARE(f.shown, version(9));
        QVERIFY(!f.timer.isActive());
    }

    void lookAtOtherPath_movesWatch()
    {
        Follower f(path("Main.txt"));
        startWatchOnly(f);
        QVERIFY(QDir(m_dir.path()).mkdir("other"));
        writeFile("other/Results.txt", version(1, "R"));
        f.setPath(path("other/Results.txt"));
        f.look();
        QCOMPARE(f.shown, version(1, "R"));
        writeFile("other/Results.txt", version(2, "R"));
        QTRY_COMPARE(f.shown, version(2, "R"));
        QSignalSpy finished(&f.feed, &DisplayFileFeed::fileFinished);
        writeFile("Main.txt", version(3)); // the old name is no longer watched
        writeFile("other/Results.txt", version(3, "R"));
        QTRY_COMPARE(f.shown, version(3, "R"));
        QCOMPARE(finished.count(), 1);
    }

    void burstOfWrites_lastVersionShown()
    {
        Follower f(path("Main.txt"));
        startWatchOnly(f);
        for (int v = 2; v <= 21; ++v)
            writeFile("Main.txt", version(v));
        QTRY_COMPARE(f.shown, version(21));
    }

    void watchOff_announcesNothingUntilOn_data()
    {
        QTest::addColumn<bool>("closing");
        QTest::newRow("turned off") << false;
        QTest::newRow("stopped, then a failed close resumes") << true;
    }

    void watchOff_announcesNothingUntilOn()
    {
        QFETCH(bool, closing);
        Follower f(path("Main.txt"));
        startWatchOnly(f);
        QSignalSpy finished(&f.feed, &DisplayFileFeed::fileFinished);
        if (closing)
            f.feed.stop();
        else
            f.feed.setWatchEnabled(false);
        writeFile("Main.txt", version(2));
        QTest::qWait(50);
        QCOMPARE(finished.count(), 0);
        QCOMPARE(f.shown, version(1));

        if (closing)
            f.feed.resume(QFile::encodeName(path("Main.txt")).toStdString());
        else
            f.feed.setWatchEnabled(true);
        writeFile("Main.txt", version(3));
        QTRY_COMPARE(f.shown, version(3));
        QCOMPARE(finished.count(), 1);
    }

    void watch_shareHangs_armsOnceItAnswers()
    {
        auto gate = std::make_shared<Gate>();
        Follower f(path("Main.txt"));
        f.feed.setGate([gate](const std::string &) { gate->pass(); });
        f.feed.watch(QFile::encodeName(path("Main.txt")).toStdString());
        QTRY_COMPARE(gate->held.load(), 1);
        // A look meanwhile is dropped, not queued behind the arming.
        f.look();
        QVERIFY(f.feed.lookPending());

        gate->opened.set_value();
        QTRY_VERIFY(!f.feed.lookPending());
        writeFile("Main.txt", version(1));
        QTRY_COMPARE(f.shown, version(1));
    }
};

QTEST_GUILESS_MAIN(tst_DisplayFileFeed)
#include "tst_DisplayFileFeed.moc"
