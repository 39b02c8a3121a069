#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>

#include "core/FileLook.h"
#include "core/PollTick.h"

using scb::FileSnapshot;
using scb::PreviewLines;

namespace {

const QString Untouched = "-";

QStringList rowsOf(const scb::RowUpdate &rows)
{
    QStringList out;
    for (const auto &row : rows)
        out << (row ? QString::fromLatin1(*row) : Untouched);
    return out;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

scb::TickEnvironment clockAt(int hour, int minute, int second)
{
    scb::TickEnvironment env;
    env.now = [=] {
        std::tm t{};
        t.tm_hour = hour;
        t.tm_min = minute;
        t.tm_sec = second;
        return t;
    };
    return env;
}

FileSnapshot readSnapshot(std::int32_t age, const std::string &bytes)
{
    FileSnapshot s;
    s.stamp.age = age;
    s.stamp.print.size = static_cast<std::int64_t>(bytes.size());
    s.loadAttempted = true;
    s.bytes = bytes;
    return s;
}

// A look that stays inside the file system until the test opens the gate,
// as a stat on a share that stopped answering does. Held by shared_ptr so a
// worker left behind still has it.
struct Gate
{
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    int entered = 0;

    void release()
    {
        {
            const std::lock_guard lock(mutex);
            open = true;
        }
        opened.notify_all();
    }

    scb::BackgroundLook::LookFunction look(FileSnapshot answer)
    {
        return [this, answer](const std::string &, std::int32_t, const scb::FileFingerprint &) {
            std::unique_lock lock(mutex);
            ++entered;
            opened.wait(lock, [this] { return open; });
            return answer;
        };
    }
};

} // namespace

class TestFileLook : public QObject
{
    Q_OBJECT

private slots:
    void lookAtFile_readsOnlyWhenStampOrFingerprintDiffer_data();
    void lookAtFile_readsOnlyWhenStampOrFingerprintDiffer();
    void lookAtFile_unreadableFile_reportsLoadFailed();
    void applySnapshot_readFile_setsPreviewAndFeedsRows_data();
    void applySnapshot_readFile_setsPreviewAndFeedsRows();
    void applySnapshot_noFile_changesNothing();
    void applySnapshot_notRead_feedsPreviewAsItIs();
    void applySnapshot_sameText_firesNoChange();
    void applySnapshot_failedRead_reportsAndForgetsStamp();
    void backgroundLook_returnsLookResult_andIsBusyUntilTaken();
    void backgroundLook_exceptionInLook_rethrownToCaller();
    void waitWhileAnswering_statHangs_givesUpAfterWait();
    void waitWhileAnswering_statAnswered_waitsForSlowRead();
    void backgroundLook_destroyedWhileLookHangs_returnsAtOnce();
};

void TestFileLook::lookAtFile_readsOnlyWhenStampOrFingerprintDiffer_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("last"); // what the caller saw last time
    QTest::addColumn<bool>("exists");
    QTest::addColumn<bool>("read");

    QTest::newRow("missing file") << "absent.txt" << "nothing" << false << false;
    QTest::newRow("folder") << "" << "nothing" << false << false;
    QTest::newRow("never loaded") << "Main.txt" << "nothing" << true << true;
    QTest::newRow("unchanged") << "Main.txt" << "current" << true << false;
    QTest::newRow("same stamp, other fingerprint") << "Main.txt" << "stampOnly" << true << true;
}

void TestFileLook::lookAtFile_readsOnlyWhenStampOrFingerprintDiffer()
{
    QFETCH(QString, name);
    QFETCH(QString, last);
    QFETCH(bool, exists);
    QFETCH(bool, read);

    QTemporaryDir dir;
    writeFile(dir.filePath("Main.txt"), "TIME:\r\nrow\r\n");
    const std::string path = (name.isEmpty() ? dir.path() : dir.filePath(name)).toStdString();
    const scb::FileStampPair now = scb::stampAndFingerprint(path);
    std::int32_t lastAge = 0;
    scb::FileFingerprint lastPrint;
    if (last != "nothing") {
        lastAge = now.age;
        lastPrint = now.print;
        if (last == "stampOnly")
            lastPrint.mtimeNs += 1;
    }

    const FileSnapshot s = scb::lookAtFile(path, lastAge, lastPrint);
    QCOMPARE(s.stamp.age != -1, exists);
    QCOMPARE(s.stamp.age, now.age);
    QCOMPARE(s.stamp.print, now.print);
    QCOMPARE(s.loadAttempted, read);
    QVERIFY(!s.loadFailed);
    QCOMPARE(s.bytes, read ? std::string("TIME:\r\nrow\r\n") : std::string());
}

void TestFileLook::lookAtFile_unreadableFile_reportsLoadFailed()
{
    QTemporaryDir dir;
    // A FIFO exists and has a stamp but can never be read whole.
    const QString path = dir.filePath("Main.txt");
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    const FileSnapshot s = scb::lookAtFile(path.toStdString(), 0, {});
    QVERIFY(s.stamp.age != -1);
    QVERIFY(s.loadAttempted);
    QVERIFY(s.loadFailed);
    QVERIFY(s.bytes.empty());
}

void TestFileLook::applySnapshot_readFile_setsPreviewAndFeedsRows_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("lineCount");

    QTest::newRow("three heading lines skipped")
        << QByteArray("a\r\nb\r\nc\r\nTitle\r\ne1") << (QStringList{"Title", "e1"} << QStringList(10, " ")) << 5;
    QTest::newRow("marker keeps heading") << QByteArray("Heat 2  TIME: 12:00\r\nx\r\ny")
                                          << (QStringList{"Heat 2  TIME: 12:00", "x", "y"} << QStringList(9, " "))
                                          << 3;
    QTest::newRow("lone LF normalised") << QByteArray("TIME:\nx\ny")
                                        << (QStringList{"TIME:", "x", "y"} << QStringList(9, " ")) << 3;
    QTest::newRow("empty file: blank message")
        << QByteArray() << (QStringList{QString::fromStdString(scb::BlankFileMessage)} << QStringList(11, Untouched))
        << 1;
}

void TestFileLook::applySnapshot_readFile_setsPreviewAndFeedsRows()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, rows);
    QFETCH(int, lineCount);

    scb::DisplayState state;
    PreviewLines lines("old\r\nold\r\nold\r\nold");
    const FileSnapshot s = readSnapshot(77, bytes.toStdString());
    const scb::TickResult tick = scb::applySnapshot(state, s, lines, clockAt(9, 0, 0));
    QVERIFY(tick.fileExists);
    QVERIFY(tick.reloaded);
    QVERIFY(!tick.status);
    QCOMPARE(rowsOf(tick.rows), rows);
    QCOMPARE(lines.count(), lineCount);
    QCOMPARE(state.LastFileAge, 77);
    QCOMPARE(state.LastFingerprint, s.stamp.print);
}

void TestFileLook::applySnapshot_noFile_changesNothing()
{
    scb::DisplayState state;
    state.LastFileAge = 1234;
    state.Starting = true;
    PreviewLines lines("a\r\nb");
    const scb::TickResult tick = scb::applySnapshot(state, FileSnapshot{}, lines, clockAt(9, 0, 0));
    QVERIFY(tick.applyLayout);
    QVERIFY(!state.Starting);
    QVERIFY(!tick.fileExists);
    QCOMPARE(rowsOf(tick.rows), QStringList(12, Untouched));
    QCOMPARE(state.LastFileAge, 1234);
    QCOMPARE(lines.count(), 2);
}

void TestFileLook::applySnapshot_notRead_feedsPreviewAsItIs()
{
    scb::DisplayState state;
    state.LastFileAge = 77;
    PreviewLines lines("TIME:\r\nhand edit\r\nz");
    FileSnapshot s;
    s.stamp.age = 77;
    const scb::TickResult tick = scb::applySnapshot(state, s, lines, clockAt(9, 0, 0));
    QVERIFY(tick.fileExists);
    QVERIFY(!tick.reloaded);
    QCOMPARE(rowsOf(tick.rows), (QStringList{"TIME:", "hand edit", "z"} << QStringList(9, " ")));
}

void TestFileLook::applySnapshot_sameText_firesNoChange()
{
    scb::DisplayState state;
    PreviewLines lines("TIME:\r\nx\r\ny");
    int changes = 0;
    lines.onChange = [&] { ++changes; };
    const scb::TickResult tick = scb::applySnapshot(state, readSnapshot(5, "TIME:\nx\ny"), lines, clockAt(9, 0, 0));
    QVERIFY(tick.reloaded);
    QCOMPARE(changes, 0);
    QCOMPARE(state.LastFileAge, 5);
}

void TestFileLook::applySnapshot_failedRead_reportsAndForgetsStamp()
{
    scb::DisplayState state;
    state.FailureCount = 1;
    state.LastFileAge = 55;
    PreviewLines lines("old\r\nold\r\nold\r\nold");
    FileSnapshot s = readSnapshot(77, "");
    s.loadFailed = true;
    s.failure = scb::ReadFailure::WriterBusy;

    const scb::TickResult tick = scb::applySnapshot(state, s, lines, clockAt(14, 7, 33));
    QCOMPARE(tick.status, std::optional<std::string>("Last Failure at 14:07.33  Cnt:2"));
    QCOMPARE(tick.statusReason, std::optional<std::string>("Its writer has the file open."));
    QVERIFY(!tick.reloaded);
    QCOMPARE(state.FailureCount, 2);
    QCOMPARE(state.LastFileAge, 0);
    QCOMPARE(state.LastFingerprint, scb::FileFingerprint{});
    QCOMPARE(rowsOf(tick.rows), QStringList(12, Untouched));
    QCOMPARE(lines.line(0), std::string("old"));
}

void TestFileLook::backgroundLook_returnsLookResult_andIsBusyUntilTaken()
{
    auto gate = std::make_shared<Gate>();
    scb::BackgroundLook look(gate->look(readSnapshot(9, "new")));
    QVERIFY(!look.busy());
    QVERIFY(!look.waitFor(std::chrono::milliseconds(0)));

    QVERIFY(look.start("Main.txt", 0, {}));
    QVERIFY(look.busy());
    QVERIFY(!look.waitFor(std::chrono::milliseconds(20)));
    QVERIFY(!look.start("Main.txt", 0, {}));

    gate->release();
    const std::optional<FileSnapshot> s = look.waitFor(std::chrono::milliseconds(5000));
    QVERIFY(s);
    QCOMPARE(s->bytes, std::string("new"));
    QCOMPARE(s->stamp.age, 9);
    QVERIFY(!look.busy());
    QCOMPARE(gate->entered, 1);

    // The worker stays for the next look.
    QVERIFY(look.start("Main.txt", 9, {}));
    QVERIFY(look.waitFor(std::chrono::milliseconds(5000)));
    QCOMPARE(gate->entered, 2);
}

void TestFileLook::backgroundLook_exceptionInLook_rethrownToCaller()
{
    scb::BackgroundLook look([](const std::string &, std::int32_t, const scb::FileFingerprint &) -> FileSnapshot {
        throw std::runtime_error("share gone");
    });
    QVERIFY(look.start("Main.txt", 0, {}));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, look.waitFor(std::chrono::milliseconds(5000)));
    QVERIFY(!look.busy());
}

void TestFileLook::waitWhileAnswering_statHangs_givesUpAfterWait()
{
    auto gate = std::make_shared<Gate>();
    scb::BackgroundLook look([gate](const std::string &p, std::int32_t a, const scb::FileFingerprint &f) {
        gate->look({})(p, a, f);
        return scb::lookAtFile(p, a, f);
    });
    QVERIFY(look.start("Main.txt", 0, {}));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!look.waitWhileAnswering(std::chrono::milliseconds(30), std::chrono::milliseconds(60000)));
    QVERIFY(clock.elapsed() < 5000);
    QVERIFY(look.busy());
    gate->release();
    QVERIFY(look.waitFor(std::chrono::milliseconds(5000)));
}

void TestFileLook::waitWhileAnswering_statAnswered_waitsForSlowRead()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Main.txt");
    writeFile(path, "TIME:\r\nrow\r\n");
    auto gate = std::make_shared<Gate>();
    // The stat answers at once; the "read" then takes a while.
    scb::BackgroundLook look([gate](const std::string &p, std::int32_t a, const scb::FileFingerprint &f) {
        FileSnapshot s = scb::lookAtFile(p, a, f);
        gate->look({})(p, a, f);
        return s;
    });
    QVERIFY(look.start(path.toStdString(), 0, {}));
    std::thread reader([gate] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        gate->release();
    });
    const std::optional<FileSnapshot> s =
        look.waitWhileAnswering(std::chrono::milliseconds(30), std::chrono::milliseconds(60000));
    reader.join();
    QVERIFY(s);
    QCOMPARE(s->bytes, std::string("TIME:\r\nrow\r\n"));
}

void TestFileLook::backgroundLook_destroyedWhileLookHangs_returnsAtOnce()
{
    auto gate = std::make_shared<Gate>();
    QElapsedTimer clock;
    {
        auto look = std::make_unique<scb::BackgroundLook>(
            [gate](const std::string &p, std::int32_t a, const scb::FileFingerprint &f) {
                return gate->look({})(p, a, f);
            });
        QVERIFY(look->start("Main.txt", 0, {}));
        QTRY_COMPARE(([&] { const std::lock_guard lock(gate->mutex); return gate->entered; }()), 1);
        clock.start();
        look.reset();
    }
    QVERIFY2(clock.elapsed() < 1000, "destruction waited for the hung look");
    gate->release(); // lets the detached worker end before the process does
}

QTEST_GUILESS_MAIN(TestFileLook)
#include "tst_FileLook.moc"
