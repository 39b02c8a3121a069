#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <utility>

#include "core/BoardRows.h"
#include "core/FileLook.h"
#include "core/PollTick.h"

using scb::FileSnapshot;
using scb::PreviewLines;

namespace {

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

} // namespace

class tst_FileLook : public QObject
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
};

void tst_FileLook::lookAtFile_readsOnlyWhenStampOrFingerprintDiffer_data()
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

void tst_FileLook::lookAtFile_readsOnlyWhenStampOrFingerprintDiffer()
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
    QVERIFY(!s.loadFailed());
    QCOMPARE(s.bytes, read ? std::string("TIME:\r\nrow\r\n") : std::string());
}

void tst_FileLook::lookAtFile_unreadableFile_reportsLoadFailed()
{
    QTemporaryDir dir;
    // A FIFO exists and has a stamp but can never be read whole.
    const QString path = dir.filePath("Main.txt");
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    const FileSnapshot s = scb::lookAtFile(path.toStdString(), 0, {});
    QVERIFY(s.stamp.age != -1);
    QVERIFY(s.loadAttempted);
    QVERIFY(s.loadFailed());
    QVERIFY(s.bytes.empty());
}

void tst_FileLook::applySnapshot_readFile_setsPreviewAndFeedsRows_data()
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

void tst_FileLook::applySnapshot_readFile_setsPreviewAndFeedsRows()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, rows);
    QFETCH(int, lineCount);

    scb::BoardModel board;
    board.edit("old\r\nold\r\nold\r\nold");
    FileSnapshot s = readSnapshot(77, bytes.toStdString());
    const scb::FileFingerprint print = s.stamp.print;
    const scb::BoardChange tick = board.apply(std::move(s), clockAt(9, 0, 0));
    QVERIFY(tick.reloaded);
    QVERIFY(!tick.statusChanged);
    QCOMPARE(rowsOf(board, tick), rows);
    QCOMPARE(board.lines().count(), lineCount);
    QCOMPARE(board.LastFileAge(), 77);
    QCOMPARE(board.LastFingerprint(), print);
}

void tst_FileLook::applySnapshot_noFile_changesNothing()
{
    scb::BoardModel board;
    board.apply(readSnapshot(1234, "a\r\nb"), clockAt(9, 0, 0));
    const int count = board.lines().count();
    const scb::BoardChange tick = board.apply(FileSnapshot{}, clockAt(9, 0, 0));
    QVERIFY(tick.rowsSet.none());
    QVERIFY(!tick.statusChanged);
    QCOMPARE(board.LastFileAge(), 1234);
    QCOMPARE(board.lines().count(), count);
}

void tst_FileLook::applySnapshot_notRead_feedsPreviewAsItIs()
{
    scb::BoardModel board;
    board.edit("TIME:\r\nhand edit\r\nz");
    FileSnapshot s;
    s.stamp.age = 77;
    const scb::BoardChange tick = board.apply(std::move(s), clockAt(9, 0, 0));
    QVERIFY(!tick.reloaded);
    QCOMPARE(rowsOf(board, tick), (QStringList{"TIME:", "hand edit", "z"} << QStringList(9, " ")));
}

void tst_FileLook::applySnapshot_sameText_firesNoChange()
{
    scb::BoardModel board;
    board.edit("TIME:\r\nx\r\ny");
    int changes = 0;
    board.onTextChanged = [&] { ++changes; };
    const scb::BoardChange tick = board.apply(readSnapshot(5, "TIME:\nx\ny"), clockAt(9, 0, 0));
    QVERIFY(tick.reloaded);
    QCOMPARE(changes, 0);
    QCOMPARE(board.LastFileAge(), 5);
}

void tst_FileLook::applySnapshot_failedRead_reportsAndForgetsStamp()
{
    scb::BoardModel board;
    board.apply(readSnapshot(55, "old\r\nold\r\nold\r\nold"), clockAt(14, 7, 30));
    const auto failedRead = [] {
        FileSnapshot s = readSnapshot(77, "");
        s.failure = scb::ReadFailure::WriterBusy;
        return s;
    };
    board.apply(failedRead(), clockAt(14, 7, 31));

    const scb::BoardChange tick = board.apply(failedRead(), clockAt(14, 7, 33));
    QVERIFY(tick.statusChanged);
    QCOMPARE(board.status(), std::string("Last Failure at 14:07.33  Cnt:2"));
    QCOMPARE(board.statusReason(), std::string("Its writer has the file open."));
    QVERIFY(!tick.reloaded);
    QCOMPARE(board.FailureCount(), 2);
    QCOMPARE(board.LastFileAge(), 0);
    QCOMPARE(board.LastFingerprint(), scb::FileFingerprint{});
    QCOMPARE(rowsOf(board, tick), QStringList(12, Untouched));
    QCOMPARE(board.lines().line(0), std::string("old"));
}

QTEST_GUILESS_MAIN(tst_FileLook)
#include "tst_FileLook.moc"
