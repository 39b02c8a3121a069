#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>
#include <fcntl.h>
#include <sys/stat.h>

#include "core/BoardRows.h"
#include "core/FileStamp.h"
#include "core/PollTick.h"
#include "core/SessionRules.h"
#include "core/TimeText.h"
#include "core/platform/Platform.h"

using scb::PreviewLines;
using scb::RowUpdate;

namespace {

// "-" marks a row the feed leaves alone.
QStringList rowsOf(const RowUpdate &rows)
{
    QStringList out;
    for (const auto &row : rows)
        out << (row ? QString::fromLatin1(row->bytes.data(), qsizetype(row->bytes.size())) : Untouched);
    return out;
}

QStringList blanks(int n)
{
    return QStringList(n, " ");
}

QByteArray crlfLines(const QList<QByteArray> &lines)
{
    QByteArray out;
    for (const QByteArray &line : lines)
        out += line + "\r\n";
    return out;
}

// The start list the preview opens with: 15 lines each ended by CR LF.
const QList<QByteArray> StartList = {
    "", "", "",
    "Teams - Free Routine Preliminary",
    "START LIST",
    " 1  RUSSIA",
    " 2  CZECH REPUBLIC ",
    " 3  UKRAINE                     ",
    " 4  SPAIN                       ",
    " 5  GREAT BRITAIN               ",
    " 6  NETHERLANDS                 ",
    " 7  GREECE                      ",
    " 8  ITALY                       ",
    " 9  CROATIA                     ",
    "10  BELARUS  ",
};

QStringList strings(const QList<QByteArray> &lines)
{
    QStringList out;
    for (const QByteArray &line : lines)
        out << QString::fromLatin1(line);
    return out;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

bool setMtime(const QString &path, std::time_t seconds, long nanoseconds)
{
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

scb::TickEnvironment fixedClock(int hour, int minute, int second, char separator = ':')
{
    scb::TickEnvironment env;
    env.now = [=] {
        std::tm t{};
        t.tm_year = 124;
        t.tm_mon = 2;
        t.tm_mday = 15;
        t.tm_hour = hour;
        t.tm_min = minute;
        t.tm_sec = second;
        return t;
    };
    env.timeSeparator = separator;
    return env;
}

// One tick as the control window makes it: a look at the file against what
// the model last saw, then the snapshot applied.
scb::BoardChange lookAndApply(scb::BoardModel &board, const std::string &path, const scb::TickEnvironment &env)
{
    return board.apply(scb::lookAtFile(path, board.LastFileAge(), board.LastFingerprint()), env);
}

} // namespace

class tst_PollTick : public QObject
{
    Q_OBJECT

private slots:
    void feedRows_mapsLinesToRows_data();
    void feedRows_mapsLinesToRows();
    void feedRows_fewerThanThreeLines_reportsBlankFile();
    void pollTick_emptyFile_blankMessageThenBlankRows();
    void pollTick_firstTick_appliesLayoutOnce();
    void pollTick_missingFile_changesNothing();
    void pollTick_unchangedFile_feedsWithoutReading();
    void pollTick_writerHoldsFile_reportsFailureThenLoads();
    void pollTick_sameTextReloaded_firesNoChange();
    void pollTick_twoRewritesInsideOneStamp_bothShown();
    void pollTick_handEditedPreview_reachesRows();
    void timeText_formatsHoursSeparatorMinutesStopSeconds_data();
    void timeText_formatsHoursSeparatorMinutesStopSeconds();
    void localeTimeSeparator_readsSeparatorAfterHour();
};

void tst_PollTick::feedRows_mapsLinesToRows_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("rows");

    QTest::newRow("start list, 16 lines") << crlfLines(StartList) << strings(StartList.mid(3, 12));

    const QList<QByteArray> shortList = {"", "", "", "Title", "e1", "e2", "e3", "e4"};
    QTest::newRow("9 lines") << crlfLines(shortList)
                             << (strings(shortList.mid(3)) << "" << blanks(6));
    QByteArray noFinalBreak = crlfLines(shortList);
    noFinalBreak.chop(2);
    QTest::newRow("8 lines, no final CRLF") << noFinalBreak << (strings(shortList.mid(3)) << blanks(7));

    QTest::newRow("exactly 3 lines") << QByteArray("a\r\nb\r\nc") << blanks(12);
    QTest::newRow("marker mid-line") << QByteArray("Heat 2  TIME: 12:00\r\nx\r\ny")
                                     << (QStringList{"Heat 2  TIME: 12:00", "x", "y"} << blanks(9));
    QTest::newRow("lower-case marker") << QByteArray("time: 12:00\r\nx\r\ny\r\nz")
                                       << (QStringList{"z"} << blanks(11));
    QTest::newRow("marker in line 1 only") << QByteArray("a\r\nTIME:\r\nb\r\nc")
                                           << (QStringList{"c"} << blanks(11));

    QList<QByteArray> twenty;
    for (int i = 0; i < 20; ++i)
        twenty << (i == 0 ? QByteArray("TIME: 14:07:33") : "line " + QByteArray::number(i));
    QTest::newRow("20 lines with marker") << crlfLines(twenty) << strings(twenty.mid(0, 12));

    QList<QByteArray> plain20 = twenty;
    plain20[0] = "no marker";
    QTest::newRow("20 lines, no marker") << crlfLines(plain20) << strings(plain20.mid(3, 12));

    QTest::newRow("rows kept untrimmed") << QByteArray("TIME:\r\n  padded  \r\n\ttab")
                                         << (QStringList{"TIME:", "  padded  ", "\ttab"} << blanks(9));
}

void tst_PollTick::feedRows_mapsLinesToRows()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, rows);
    PreviewLines lines(text.toStdString());
    const std::string before = lines.text();
    QCOMPARE(rowsOf(scb::feedRows(lines)), rows);
    QCOMPARE(lines.text(), before);
}

void tst_PollTick::feedRows_fewerThanThreeLines_reportsBlankFile()
{
    PreviewLines lines("only\r\ntwo");
    const RowUpdate rows = scb::feedRows(lines);
    QCOMPARE(rowsOf(rows), QStringList{QString::fromStdString(scb::BlankFileMessage)} << QStringList(11, Untouched));
    QCOMPARE(lines.count(), 3);
    QCOMPARE(std::string(lines.lineView(2)), scb::BlankFileMessage);
}

void tst_PollTick::pollTick_emptyFile_blankMessageThenBlankRows()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Main.txt");
    writeFile(path, QByteArray());
    scb::BoardModel board;
    board.edit(crlfLines(StartList).toStdString());
    const QString message = QString::fromStdString(scb::BlankFileMessage);
    const QStringList blankReport = QStringList{message} << QStringList(11, Untouched);

    scb::BoardChange tick = lookAndApply(board, path.toStdString(), fixedClock(9, 0, 0));
    QVERIFY(tick.reloaded);
    QCOMPARE(rowsOf(board, tick), blankReport);
    QCOMPARE(board.lines().count(), 1);
    QCOMPARE(board.lines().text(), scb::BlankFileMessage);

    for (int expectedCount : {2, 3}) {
        tick = lookAndApply(board, path.toStdString(), fixedClock(9, 0, 1));
        QVERIFY(!tick.reloaded);
        QCOMPARE(rowsOf(board, tick), blankReport);
        QCOMPARE(board.lines().count(), expectedCount);
    }

    tick = lookAndApply(board, path.toStdString(), fixedClock(9, 0, 3));
    QCOMPARE(rowsOf(board, tick), blanks(12));
    QCOMPARE(board.lines().count(), 3);
}

void tst_PollTick::pollTick_firstTick_appliesLayoutOnce()
{
    scb::DisplayState state;
    state.Starting = true;
    QVERIFY(scb::endStartUp(state));
    QVERIFY(!state.Starting);
    QVERIFY(!scb::endStartUp(state));
}

void tst_PollTick::pollTick_missingFile_changesNothing()
{
    QTemporaryDir dir;
    const QString seen = dir.filePath("Main.txt");
    writeFile(seen, "a\r\nb\r\nc\r\nd");
    scb::BoardModel board;
    lookAndApply(board, seen.toStdString(), fixedClock(9, 0, 0));
    const std::int32_t stamp = board.LastFileAge();
    QVERIFY(stamp != 0);
    for (const QString &path : {dir.filePath("absent.txt"), dir.path(), QString()}) {
        const scb::BoardChange tick = lookAndApply(board, path.toStdString(), fixedClock(9, 0, 0));
        QVERIFY(tick.rowsSet.none());
        QVERIFY(!tick.statusChanged);
    }
    QCOMPARE(board.LastFileAge(), stamp);
    QCOMPARE(board.lines().count(), 4); // not even the blank-file line was added
}

void tst_PollTick::pollTick_unchangedFile_feedsWithoutReading()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Main.txt");
    writeFile(path, crlfLines(StartList));
    scb::BoardModel board;
    QVERIFY(lookAndApply(board, path.toStdString(), fixedClock(9, 0, 0)).reloaded);
    QCOMPARE(board.LastFileAge(), scb::fileAge(path.toStdString()));
    QCOMPARE(board.LastFingerprint(), scb::stampAndFingerprint(path.toStdString()).print);

    const scb::BoardChange again = lookAndApply(board, path.toStdString(), fixedClock(9, 0, 1));
    QVERIFY(!again.reloaded);
    QCOMPARE(rowsOf(board, again), strings(StartList.mid(3, 12)));
}

void tst_PollTick::pollTick_writerHoldsFile_reportsFailureThenLoads()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Main.txt");
    writeFile(path, "TIME: 14:07\r\nfresh\r\nrow");
    scb::BoardModel board;
    board.edit("old\r\nold\r\nold\r\nold");

    QProcess writer;
    writer.start("sh", {"-c", "exec 3>>\"$1\"; echo ready; exec sleep 60", "sh", path});
    QVERIFY(writer.waitForReadyRead(10000));

    // A failed load forgets the stamp, so every tick tries again and counts.
    QVERIFY(lookAndApply(board, path.toStdString(), fixedClock(14, 7, 32)).statusChanged);
    const scb::BoardChange failed = lookAndApply(board, path.toStdString(), fixedClock(14, 7, 33));
    QVERIFY(failed.statusChanged);
    QCOMPARE(board.status(), std::string("Last Failure at 14:07.33  Cnt:2"));
    QCOMPARE(board.FailureCount(), 2);
    QCOMPARE(board.LastFileAge(), 0);
    QCOMPARE(board.LastFingerprint(), scb::FileFingerprint{});
    QCOMPARE(rowsOf(board, failed), QStringList(12, Untouched));
    QCOMPARE(board.statusReason(), std::string("Its writer has the file open."));
    QVERIFY(!failed.reloaded);
    QCOMPARE(std::string(board.lines().lineView(0)), std::string("old"));

    writer.kill();
    QVERIFY(writer.waitForFinished(10000));

    const scb::BoardChange loaded = lookAndApply(board, path.toStdString(), fixedClock(14, 7, 34));
    QVERIFY(loaded.reloaded);
    QVERIFY(!loaded.statusChanged);
    QCOMPARE(board.FailureCount(), 2);
    QCOMPARE(rowsOf(board, loaded), (QStringList{"TIME: 14:07", "fresh", "row"} << blanks(9)));
}

void tst_PollTick::pollTick_sameTextReloaded_firesNoChange()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Main.txt");
    writeFile(path, "TIME:\nx\ny");
    scb::BoardModel board;
    board.edit("TIME:\r\nx\r\ny");
    int changes = 0;
    board.onTextChanged = [&] { ++changes; };
    const scb::BoardChange tick = lookAndApply(board, path.toStdString(), fixedClock(9, 0, 0));
    QVERIFY(tick.reloaded);
    QCOMPARE(changes, 0);
    QCOMPARE(board.LastFileAge(), scb::fileAge(path.toStdString()));
}

void tst_PollTick::pollTick_twoRewritesInsideOneStamp_bothShown()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Main.txt");
    std::tm local{};
    local.tm_year = 124;
    local.tm_mon = 2;
    local.tm_mday = 15;
    local.tm_hour = 14;
    local.tm_min = 7;
    local.tm_sec = 32;
    local.tm_isdst = -1;
    const std::time_t step = std::mktime(&local);

    scb::BoardModel board;
    const QByteArray heading = "TIME: 14:07:32\r\n";
    const std::string file = path.toStdString();

    writeFile(path, heading + "first \r\nend");
    QVERIFY(setMtime(path, step, 100'000'000));
    QCOMPARE(rowsOf(board, lookAndApply(board, file, fixedClock(14, 7, 32))).at(1), "first ");
    const std::int32_t firstStamp = board.LastFileAge();

    // Same size, same two-second stamp, half a second later.
    writeFile(path, heading + "second\r\nend");
    QVERIFY(setMtime(path, step, 600'000'000));
    QCOMPARE(scb::fileAge(file), firstStamp);
    QCOMPARE(rowsOf(board, lookAndApply(board, file, fixedClock(14, 7, 33))).at(1), "second");
}

void tst_PollTick::pollTick_handEditedPreview_reachesRows()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Main.txt");
    writeFile(path, "TIME:\r\nfrom file\r\nx");
    scb::BoardModel board;
    lookAndApply(board, path.toStdString(), fixedClock(9, 0, 0));
    board.edit("TIME:\r\ntyped\r\nx");
    const scb::BoardChange tick = lookAndApply(board, path.toStdString(), fixedClock(9, 0, 1));
    QVERIFY(!tick.reloaded);
    QCOMPARE(rowsOf(board, tick).at(1), "typed");
}

void tst_PollTick::timeText_formatsHoursSeparatorMinutesStopSeconds_data()
{
    QTest::addColumn<int>("hour");
    QTest::addColumn<int>("minute");
    QTest::addColumn<int>("second");
    QTest::addColumn<char>("separator");
    QTest::addColumn<QString>("text");

    QTest::newRow("afternoon") << 14 << 7 << 33 << ':' << "14:07.33";
    QTest::newRow("midnight") << 0 << 0 << 5 << ':' << "00:00.05";
    QTest::newRow("dot separator") << 9 << 30 << 0 << '.' << "09.30.00";
}

void tst_PollTick::timeText_formatsHoursSeparatorMinutesStopSeconds()
{
    QFETCH(int, hour);
    QFETCH(int, minute);
    QFETCH(int, second);
    QFETCH(char, separator);
    QFETCH(QString, text);
    std::tm t{};
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    QCOMPARE(QString::fromStdString(scb::timeText(t, separator)), text);
}

void tst_PollTick::localeTimeSeparator_readsSeparatorAfterHour()
{
    // The only locale every system has; its time format is "%H:%M:%S".
    const std::string previous = std::setlocale(LC_TIME, nullptr);
    QVERIFY(std::setlocale(LC_TIME, "C") != nullptr);
    QCOMPARE(scb::localeTimeSeparator(), ':');
    std::setlocale(LC_TIME, previous.c_str());
}

QTEST_GUILESS_MAIN(tst_PollTick)
#include "tst_PollTick.moc"
