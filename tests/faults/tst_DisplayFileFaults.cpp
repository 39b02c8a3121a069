// Hostile and broken display files against the running control window: each
// is either loaded, counted as a failed load in Label1, or ignored as a
// missing file; no tick stalls the interface, and once the file is sound
// again the scoreboard shows it at the next tick.

#include "FaultKit.h"
#include "adapters/DisplayFileFeed.h"
#include "adapters/QtConvert.h"

#include "core/PollTick.h"
#include "core/TextCodec.h"

#include <QLabel>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>

#include <sys/stat.h>
#include <sys/types.h>

namespace {

enum class Expect { Loaded, Counted, Ignored };

const QString SoundFirstLine = QStringLiteral("TIME: sound again");

QByteArray soundFile()
{
    QByteArray out = SoundFirstLine.toLatin1() + "\r\n";
    for (int i = 1; i < 12; ++i)
        out += "row " + QByteArray::number(i) + "\r\n";
    return out;
}

QByteArray everyByte()
{
    QByteArray out;
    for (int c = 0; c < 256; ++c)
        out += char(c);
    return out;
}

// CRs inserted before lone LFs, as the preview stores every text.
QByteArray normalised(const QByteArray &bytes)
{
    QByteArray out;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r'))
            out += '\r';
        out += bytes[i];
    }
    return out;
}

QString failureLabel(int count)
{
    return QStringLiteral("Last Failure at 14:07.33  Cnt:%1").arg(count);
}

} // namespace

class tst_DisplayFileFaults : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { m_tally.rowDone(); }
    void cleanupTestCase() { m_tally.report(); }

    void hostileContent_isLoadedWithoutStall_data();
    void hostileContent_isLoadedWithoutStall();
    void nonFile_isCountedOrIgnored_thenSoundFileFeeds_data();
    void nonFile_isCountedOrIgnored_thenSoundFileFeeds();
    void heldBackFile_isCountedWithReason_thenFeeds_data();
    void heldBackFile_isCountedWithReason_thenFeeds();
    void fileVanishingBetweenStampAndRead_isCounted_thenFeeds();
    void fileReplacedByFolder_isIgnored_thenFileAgainFeeds();
    void oddPath_loadsLikeAnyOther_data();
    void oddPath_loadsLikeAnyOther();
    void overlongPath_isIgnored_thenShortPathFeeds();

private:
    // Makes the display file sound, with a new stamp, and checks the next
    // tick feeds it.
    void recoverWith(WindowFixture &w, const QString &path);

    FaultTally m_tally{"display file"};
};

void tst_DisplayFileFaults::recoverWith(WindowFixture &w, const QString &path)
{
    QFile::remove(path);
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(soundFile());
    f.close();
    w.child<FileOpenEdit>("XMLFile")->setFilename(path);
    const int failuresBefore = w.form->board().FailureCount();
    // A look the folder watch started on a large file may still be reading.
    QTRY_VERIFY(!w.form->displayFileFeed().lookPending());
    timedTick(w);
    QCOMPARE(w.row(0), SoundFirstLine);
    QCOMPARE(w.row(11), QStringLiteral("row 11"));
    QCOMPARE(w.form->board().FailureCount(), failuresBefore);
}

void tst_DisplayFileFaults::hostileContent_isLoadedWithoutStall_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("lines");

    QByteArray nuls("TIME:\0marker after NUL\r\n\0\0\0\r\nrow\0two\r\n", 38);
    QTest::newRow("NUL bytes") << nuls << 4;
    QTest::newRow("every byte value") << everyByte() << 2;
    QByteArray reversed = everyByte();
    std::reverse(reversed.begin(), reversed.end());
    QTest::newRow("every byte value, reversed") << reversed << 2;
    QTest::newRow("1 MB single line") << QByteArray(1 << 20, 'x') << 1;
    QByteArray crOnly;
    for (int i = 0; i < 40; ++i)
        crOnly += "line " + QByteArray::number(i) + '\r';
    QTest::newRow("CR-only line ends") << crOnly << 1;
    QTest::newRow("lone LFs only") << QByteArray(5000, '\n') << 5001;
    QTest::newRow("CR CR LF") << QByteArray("TIME:\r\r\na\r\r\nb\r\r\n") << 4;
    QTest::newRow("invalid UTF-8") << QByteArray("TIME:\r\n\xC3\r\n\xF0\x9F\r\n\xED\xA0\x80\r\n\xFF\xFE\r\n") << 6;
    QTest::newRow("byte-order marks") << QByteArray("\xEF\xBB\xBF\xFF\xFE" "TIME:\r\nx\r\n") << 3;
    QByteArray longLines;
    for (int i = 0; i < 20; ++i)
        longLines += QByteArray(60000, char('a' + i)) + "\r\n";
    QTest::newRow("20 lines of 60000 characters") << longLines << 21;
    QByteArray huge(100 << 20, 'y');
    for (qsizetype i = 79; i < huge.size(); i += 80) {
        huge[i - 1] = '\r';
        huge[i] = '\n';
    }
    QTest::newRow("100 MB file") << huge << int(huge.size() / 80 + 1);
    // The preview's size cut falls on the second byte of a two-byte letter.
    QByteArray letters = "TIME: cut\r\n";
    for (int i = 0; i < 20; ++i)
        letters += QByteArray("\xC3\xBC").repeated(2000) + "\r\n";
    QTest::newRow("UTF-8 letters across the preview's cut") << letters << 22;
    QTest::newRow("20 MB line on the board") << "TIME: " + QByteArray(20 << 20, 'x') + "\r\nb\r\nc" << 3;
}

void tst_DisplayFileFaults::hostileContent_isLoadedWithoutStall()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, lines);
    m_tally.tried();
    WindowFixture w;
    w.start();
    w.writeFile("Main.txt", bytes);
    w.child<FileOpenEdit>("XMLFile")->setFilename(w.path("Main.txt"));
    QElapsedTimer clock;
    clock.start();
    w.tick();
    const qint64 ms = clock.elapsed();
    QVERIFY2(withinStallLimit(ms), stallMessage(ms).constData());
    // A large read is not waited for: it lands once done.
    QTRY_VERIFY(!w.form->displayFileFeed().lookPending());
    if (bytes.size() > qsizetype(PreviewMemo::MaxShownBytes)) {
        // Only the head is shown, and it cannot be edited: an edit would
        // write the shortened text back over the file's.
        QVERIFY(w.child<PreviewMemo>("MainMemo")->isTruncated());
        QVERIFY(w.child<PreviewMemo>("MainMemo")->isReadOnly());
    }

    QCOMPARE(w.form->board().FailureCount(), 0);
    QCOMPARE(w.child<QLabel>("Label1")->text(), QString());
    const scb::PreviewLines &model = w.form->board().lines();
    // Fewer than three lines: the blank-file message was appended.
    const int expectedCount = lines < 3 ? lines + 1 : lines;
    QCOMPARE(model.count(), expectedCount);
    if (lines >= 3) {
        QVERIFY(model.text() == normalised(bytes).toStdString());
        const int skip = model.lineView(0).find("TIME:") != std::string::npos ? 0 : 3;
        const QTextDocument *memo = w.child<PreviewMemo>("MainMemo")->document();
        // The last block of a cut preview is the note on what is not shown.
        const int memoLines = memo->blockCount() - (w.child<PreviewMemo>("MainMemo")->isTruncated() ? 1 : 0);
        for (int r = 0; r < scb::RowCount; ++r) {
            const int i = r + skip;
            const std::string expected = i < lines && i <= 14 ? std::string(model.lineView(i)) : std::string(" ");
            QVERIFY2(w.grid()->cell(r) == expected, qPrintable(QStringLiteral("row %1").arg(r)));
            // The preview shows each line as the board does; where the
            // preview's size cut ends a line early, it shows its start.
            if (i < memoLines) {
                const QString shown = memo->findBlockByNumber(i).text().replace(QChar(0x240D), u'\r');
                QVERIFY2(w.grid()->cellDisplayText(r).left(shown.size()) == shown,
                         qPrintable(QStringLiteral("row %1").arg(r)));
            }
        }
        // A row holds no more than it can show, and painting the rows never
        // lays out a runaway line.
        QVERIFY(std::size_t(w.grid()->cellDisplayText(0).size()) <= scb::MaxRowChars);
        QElapsedTimer paint;
        paint.start();
        (void)w.grid()->grab();
        QVERIFY2(withinStallLimit(paint.elapsed()), stallMessage(paint.elapsed()).constData());
    } else {
        QCOMPARE(w.row(0), QString::fromStdString(scb::BlankFileMessage));
    }
    // The same file again costs no reload; with three lines or more the
    // preview stays as it is, with fewer the blank-file message is appended
    // until there are three.
    const std::string before = model.text();
    timedTick(w);
    if (lines >= 3)
        QVERIFY(model.text() == before);
    else
        QCOMPARE(model.count(), 3);
    recoverWith(w, w.path("Main.txt"));
}

void tst_DisplayFileFaults::nonFile_isCountedOrIgnored_thenSoundFileFeeds_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("expect");
    QTest::newRow("FIFO") << "fifo" << int(Expect::Counted);
    QTest::newRow("FIFO with a writer") << "fifo-writer" << int(Expect::Counted);
    QTest::newRow("symbolic link to /dev/zero") << "zero" << int(Expect::Counted);
    QTest::newRow("symbolic link to /dev/urandom") << "urandom" << int(Expect::Counted);
    QTest::newRow("dangling symbolic link") << "dangling" << int(Expect::Ignored);
    QTest::newRow("symbolic link loop") << "loop" << int(Expect::Ignored);
    QTest::newRow("empty path") << "empty" << int(Expect::Ignored);
}

void tst_DisplayFileFaults::nonFile_isCountedOrIgnored_thenSoundFileFeeds()
{
    QFETCH(QString, kind);
    QFETCH(int, expect);
    m_tally.tried();
    WindowFixture w;
    w.start();
    timedTick(w);
    const QString path = kind == "empty" ? QString() : w.path("Main.txt");
    const QByteArray p = QFile::encodeName(path);
    int writer = -1;
    int reader = -1;
    if (kind.startsWith("fifo")) {
        QCOMPARE(::mkfifo(p.constData(), 0644), 0);
        if (kind == "fifo-writer") {
            // A reader end first, so the writer's open does not wait either.
            reader = ::open(p.constData(), O_RDONLY | O_NONBLOCK);
            writer = ::open(p.constData(), O_WRONLY | O_NONBLOCK);
            QVERIFY(reader >= 0 && writer >= 0);
            QVERIFY(::write(writer, "TIME:\r\na\r\nb\r\n", 13) == 13);
        }
    } else if (kind == "zero") {
        QVERIFY(QFile::link("/dev/zero", path));
    } else if (kind == "urandom") {
        QVERIFY(QFile::link("/dev/urandom", path));
    } else if (kind == "dangling") {
        QVERIFY(QFile::link(w.path("nowhere"), path));
    } else if (kind == "loop") {
        QVERIFY(QFile::link(w.path("Main.txt"), path));
    }
    w.child<FileOpenEdit>("XMLFile")->setFilename(path);
    const QString rowBefore = w.row(0);
    const std::string textBefore = w.form->board().lines().text();

    for (int tick = 1; tick <= 3; ++tick) {
        timedTick(w);
        // A failed or ignored load never touches the preview or the rows.
        QVERIFY(w.form->board().lines().text() == textBefore);
        QCOMPARE(w.row(0), rowBefore);
        if (Expect(expect) == Expect::Counted) {
            QCOMPARE(w.form->board().FailureCount(), tick);
            QCOMPARE(w.child<QLabel>("Label1")->text(), failureLabel(tick));
            QCOMPARE(w.child<QLabel>("Label1")->toolTip(), QStringLiteral("Not a regular file."));
        } else {
            QCOMPARE(w.form->board().FailureCount(), 0);
            QCOMPARE(w.child<QLabel>("Label1")->text(), QString());
        }
    }
    QVERIFY(w.child<QTimer>("Timer1")->isActive());
    if (writer >= 0)
        ::close(writer);
    if (reader >= 0)
        ::close(reader);
    recoverWith(w, w.path("Main.txt"));
}

void tst_DisplayFileFaults::heldBackFile_isCountedWithReason_thenFeeds_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("reason");
    QTest::newRow("unreadable") << "unreadable" << "Permission denied.";
    // The competition program runs as another user: no lease can be had.
    QTest::newRow("another user's writer paused mid-write") << "writer" << "Its writer has the file open.";
}

void tst_DisplayFileFaults::heldBackFile_isCountedWithReason_thenFeeds()
{
    QFETCH(QString, fault);
    QFETCH(QString, reason);
    m_tally.tried();
    WindowFixture w;
    w.start();
    const QString path = w.path("Main.txt");
    w.writeFile("Main.txt", "TIME: before\r\nrow 1\r\nrow 2\r\n");
    QCOMPARE(::chmod(QFile::encodeName(w.dir()).constData(), 0755), 0);
    w.child<FileOpenEdit>("XMLFile")->setFilename(path);
    timedTick(w);
    QCOMPARE(w.row(0), QStringLiteral("TIME: before"));
    const QByteArray sound = soundFile();
    int writer = -1;
    if (fault == "unreadable") {
        w.writeFile("Main.txt", sound);
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0), 0);
    } else {
        writer = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        QVERIFY(writer >= 0);
        QCOMPARE(::write(writer, sound.constData(), 20), ssize_t(20));
    }
    {
        AsOrdinaryUser user;
        if (!user.ok())
            QSKIP("running as root and cannot switch to an ordinary user who does not own the file");
        timedTick(w);
        timedTick(w);
    }
    QCOMPARE(w.form->board().FailureCount(), 2);
    QCOMPARE(w.child<QLabel>("Label1")->text(), failureLabel(2));
    QCOMPARE(w.child<QLabel>("Label1")->toolTip(), reason);
    QCOMPARE(w.row(0), QStringLiteral("TIME: before"));
    if (writer >= 0) {
        QCOMPARE(::write(writer, sound.constData() + 20, sound.size() - 20), ssize_t(sound.size() - 20));
        QCOMPARE(::close(writer), 0);
    }
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0644), 0);
    // The failed load left the stamp at 0, so the finished file loads.
    timedTick(w);
    QCOMPARE(w.row(0), SoundFirstLine);
    QCOMPARE(w.form->board().FailureCount(), 2);
}

void tst_DisplayFileFaults::fileVanishingBetweenStampAndRead_isCounted_thenFeeds()
{
    m_tally.tried();
    VanishOnOpen *vanish = VanishOnOpen::install();
    if (!vanish)
        QSKIP(qPrintable("cannot intercept the open to delete the file at that moment: " + VanishOnOpen::why()));
    WindowFixture w;
    w.start();
    w.writeFile("Main.txt", soundFile());
    const QString path = w.path("Main.txt");
    w.child<FileOpenEdit>("XMLFile")->setFilename(path);
    vanish->arm(bytesOf(path));
    timedTick(w);
    QVERIFY2(vanish->fired(), "the program never opened the display file");
    QVERIFY(!QFile::exists(path));
    QCOMPARE(w.form->board().FailureCount(), 1);
    QCOMPARE(w.child<QLabel>("Label1")->text(), failureLabel(1));
    QCOMPARE(w.child<QLabel>("Label1")->toolTip(), QStringLiteral("The file is missing."));
    QCOMPARE(w.form->board().LastFileAge(), 0);
    QCOMPARE(w.row(0), QString());
    // Gone for good now: a missing file is not reported again.
    timedTick(w);
    QCOMPARE(w.form->board().FailureCount(), 1);
    recoverWith(w, path);
}

void tst_DisplayFileFaults::fileReplacedByFolder_isIgnored_thenFileAgainFeeds()
{
    m_tally.tried();
    WindowFixture w;
    w.writeFile("Main.txt", soundFile());
    w.start();
    timedTick(w);
    QCOMPARE(w.row(0), SoundFirstLine);
    const QString path = w.path("Main.txt");
    QVERIFY(QFile::remove(path));
    QVERIFY(QDir().mkdir(path));
    w.child<PreviewMemo>("MainMemo")->setPlainText(QStringLiteral("hand edit\n"));
    timedTick(w);
    timedTick(w);
    QCOMPARE(w.form->board().FailureCount(), 0);
    // A folder counts as missing: the rows keep what they show.
    QCOMPARE(w.row(0), SoundFirstLine);
    QVERIFY(QDir().rmdir(path));
    recoverWith(w, path);
}

void tst_DisplayFileFaults::oddPath_loadsLikeAnyOther_data()
{
    QTest::addColumn<QByteArray>("folder");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("spaces") << QByteArray(" lead and trail ") << QByteArray("Main file .txt");
    QTest::newRow("UTF-8 letters") << QByteArray("R\xC3\xA9sultats \xE2\x80\x94 \xE6\xB8\xAC") << QByteArray("M\xC3\xA4in.txt");
    QTest::newRow("Windows-1252 bytes") << QByteArray("Ergebnisse \xE4\xF6\xFC") << QByteArray("Main \xDF.txt");
    // Line breaks are refused when entered: the settings file cannot keep them.
    QTest::newRow("control characters") << QByteArray("tab\there") << QByteArray("bell\aescape\x1b.txt");
}

void tst_DisplayFileFaults::oddPath_loadsLikeAnyOther()
{
    QFETCH(QByteArray, folder);
    QFETCH(QByteArray, name);
    m_tally.tried();
    WindowFixture w;
    w.start();
    const QByteArray dir = QFile::encodeName(w.dir()) + '/' + folder;
    QCOMPARE(::mkdir(dir.constData(), 0755), 0);
    const TreeRemover removeLater(dir);
    const QByteArray file = dir + '/' + name;
    const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QVERIFY(fd >= 0);
    const QByteArray bytes = soundFile();
    QVERIFY(::write(fd, bytes.constData(), bytes.size()) == bytes.size());
    ::close(fd);

    // The path arrives as bytes (from the settings file) and must reach the
    // file system as the same bytes, whatever their encoding.
    w.child<FileOpenEdit>("XMLFile")->setFilename(fromBytes(file.toStdString()));
    QCOMPARE(QByteArray::fromStdString(toBytes(w.child<FileOpenEdit>("XMLFile")->filename())), file);
    timedTick(w);
    QCOMPARE(w.form->board().FailureCount(), 0);
    QCOMPARE(w.row(0), SoundFirstLine);
}

void tst_DisplayFileFaults::overlongPath_isIgnored_thenShortPathFeeds()
{
    m_tally.tried();
    WindowFixture w;
    w.start();
    timedTick(w);
    // A real file 5000 characters down, built folder by folder so that no
    // single call sees the whole path.
    QByteArray full = QFile::encodeName(w.dir());
    const TreeRemover removeLater(full + '/' + QByteArray(200, 'd'));
    int at = ::open(full.constData(), O_RDONLY | O_DIRECTORY);
    QVERIFY(at >= 0);
    while (full.size() < 5000 - 210) {
        const QByteArray part(200, 'd');
        QCOMPARE(::mkdirat(at, part.constData(), 0755), 0);
        const int next = ::openat(at, part.constData(), O_RDONLY | O_DIRECTORY);
        ::close(at);
        QVERIFY(next >= 0);
        at = next;
        full += '/' + part;
    }
    const QByteArray leaf = QByteArray(5000 - full.size() - 1 - 4, 'm') + ".txt";
    const int fd = ::openat(at, leaf.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::close(at);
    QVERIFY(fd >= 0);
    const QByteArray bytes = soundFile();
    QVERIFY(::write(fd, bytes.constData(), bytes.size()) == bytes.size());
    ::close(fd);
    full += '/' + leaf;
    QCOMPARE(full.size(), 5000);

    w.child<FileOpenEdit>("XMLFile")->setFilename(QFile::decodeName(full));
    const std::string textBefore = w.form->board().lines().text();
    timedTick(w);
    timedTick(w);
    // Longer than the system takes: it names no file the program can see.
    QCOMPARE(w.form->board().FailureCount(), 0);
    QVERIFY(w.form->board().lines().text() == textBefore);
    QCOMPARE(w.row(0), QString());
    recoverWith(w, w.path("Main.txt"));
}

SCB_WINDOW_TEST_MAIN(tst_DisplayFileFaults)
#include "tst_DisplayFileFaults.moc"
