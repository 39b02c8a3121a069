// Damaged settings files at start-up and failing writes at close, against the
// real control window. Start-up always comes up with defaults or clamped
// values; a close that cannot write shows the error box naming the file,
// keeps the old file, and leaves the window open with the board following the
// display file, unless the operator closes without saving.

#include "FaultKit.h"

#include "core/IniFile.h"
#include "core/Settings.h"
#include "widgets/ScbGrid.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QRandomGenerator>
#include <QTimer>

#include <sched.h>
#include <sys/mount.h>

namespace {

QByteArray soundSettings()
{
    return QByteArray("[Settings]\r\nSLeft=10\r\nSTop=20\r\nSWidth=300\r\nSHeight=240\r\nBColor=0\r\n"
                      "ShowBorder=0\r\nFName=Courier\r\nFSize=12\r\nFBold=0\r\nFColor=65280\r\n"
                      "DisplayFile=\r\nBackgroundImage=\r\n");
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray garbage(qsizetype size, quint32 seed)
{
    QByteArray out(size, Qt::Uninitialized);
    QRandomGenerator rng(seed);
    for (char &c : out)
        c = char(rng.generate() & 0xFF);
    return out;
}

struct Expected
{
    int left = 801, top = 0, width = 800, height = 600;
    int backColor = 8454143;
    bool border = true;
    int fontSize = 18;
    int familyLength = 5; // "Arial"
};

// A small file system of our own for the disk-full case, private to this
// process: set up before the application starts any thread.
QString g_smallDisk;
QString g_smallDiskWhy = QStringLiteral("not tried");

void mountSmallDisk()
{
    if (::unshare(CLONE_NEWNS) != 0) {
        g_smallDiskWhy = QStringLiteral("no private mount namespace: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        g_smallDiskWhy = QStringLiteral("mounts stay shared: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    char dir[] = "/tmp/scb-small-disk-XXXXXX";
    if (!::mkdtemp(dir)) {
        g_smallDiskWhy = QStringLiteral("no mount point");
        return;
    }
    if (::mount("scb-small", dir, "tmpfs", 0, "size=256k,mode=0755") != 0) {
        g_smallDiskWhy = QStringLiteral("tmpfs refused: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        ::rmdir(dir);
        return;
    }
    g_smallDisk = QString::fromLocal8Bit(dir);
}

} // namespace

class tst_SettingsFaults : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { m_tally.rowDone(); }
    void cleanupTestCase()
    {
        m_tally.report();
        if (!g_smallDisk.isEmpty()) {
            ::umount2(QFile::encodeName(g_smallDisk).constData(), MNT_DETACH);
            ::rmdir(QFile::encodeName(g_smallDisk).constData());
        }
    }

    void damagedFile_startsWithDefaultsOrClamped_data();
    void damagedFile_startsWithDefaultsOrClamped();
    void failedWriteAtClose_keepsWindowOldFileAndFeed_data();
    void failedWriteAtClose_keepsWindowOldFileAndFeed();
    void savedByAnotherInstance_closeAsksBeforeReplacing_data();
    void savedByAnotherInstance_closeAsksBeforeReplacing();
    void unkeepablePath_isRefusedWhenEntered_data();
    void unkeepablePath_isRefusedWhenEntered();

private:
    FaultTally m_tally{"settings"};
};

void tst_SettingsFaults::damagedFile_startsWithDefaultsOrClamped_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("backColor");
    QTest::addColumn<int>("fontSize");
    QTest::addColumn<int>("familyLength");

    const Expected d;
    QTest::newRow("binary garbage") << garbage(64 * 1024, 7) << d.left << d.width << d.backColor << d.fontSize << d.familyLength;
    QTest::newRow("binary garbage, then keys")
        << garbage(4096, 11) + "\n[Settings]\nSLeft=12\nSWidth=640\n" << 12 << 640 << d.backColor << d.fontSize << d.familyLength;
    QTest::newRow("NUL bytes everywhere") << QByteArray(4096, '\0') << d.left << d.width << d.backColor << d.fontSize << d.familyLength;
    QByteArray tenMb = "[Settings]\r\n" + QByteArray(10 << 20, 'z') + "\r\nSLeft=33\r\n";
    QTest::newRow("10 MB file") << tenMb << 33 << d.width << d.backColor << d.fontSize << d.familyLength;
    QByteArray longLines = "[Settings]\r\nSLeft=" + QByteArray(100000, '7') + "\r\nFName=" + QByteArray(100000, 'F')
        + "\r\nBColor=" + QByteArray(100000, ' ') + "5\r\nSWidth=" + QByteArray(99990, '0') + "640\r\n";
    QTest::newRow("100 000-character lines") << longLines << d.left << 640 << 5 << d.fontSize << int(scb::IniMaxString);
    QTest::newRow("extremes clamped")
        << QByteArray("[Settings]\nSLeft=-2147483648\nSWidth=2147483647\nBColor=$FFFFFFFF\nFSize=-2147483648\n")
        << 0 << 9999 << -1 << int(INT32_MIN) << d.familyLength;
    QTest::newRow("giant font") << QByteArray("[Settings]\nFSize=2147483647\nFName=\n") << d.left << d.width << d.backColor
                                << int(INT32_MAX) << 0;
    QTest::newRow("font past what can be drawn") << QByteArray("[Settings]\nFSize=100000\n") << d.left << d.width
                                                 << d.backColor << 100000 << d.familyLength;
    QTest::newRow("zero font") << QByteArray("[Settings]\nFSize=0\nSHeight=0\nSWidth=0\n") << d.left << 0 << d.backColor << 0
                               << d.familyLength;
    QTest::newRow("section only, unterminated") << QByteArray("[Settings") << d.left << d.width << d.backColor << d.fontSize
                                                << d.familyLength;
    QTest::newRow("CR-only line ends") << QByteArray("[Settings]\rSLeft=5\rSWidth=7\r") << 5 << 7 << d.backColor
                                       << d.fontSize << d.familyLength;
}

void tst_SettingsFaults::damagedFile_startsWithDefaultsOrClamped()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, left);
    QFETCH(int, width);
    QFETCH(int, backColor);
    QFETCH(int, fontSize);
    QFETCH(int, familyLength);
    m_tally.tried();
    WindowFixture w;
    w.writeFile("Resolution.ini", bytes);
    // What a save killed midway leaves behind; no process of that pid exists.
    const QString leftover = ".Resolution.ini.2147483647-0-1.tmp";
    w.writeFile(leftover, bytes.left(100));
    QElapsedTimer clock;
    clock.start();
    w.start();
    QVERIFY2(withinStallLimit(clock.elapsed()), "start-up stalled on the settings file");
    QVERIFY(!QFile::exists(w.path(leftover)));
    QCOMPARE(w.child<SpinEdit>("ScreenLeft")->value(), double(left));
    QCOMPARE(w.child<SpinEdit>("ScreenWidth")->value(), double(width));
    QCOMPARE(w.form->state().Choices.Look.BackColor, backColor);
    QCOMPARE(w.form->state().Choices.Look.Font.size, fontSize);
    QCOMPARE(int(w.form->state().Choices.Look.Font.family.size()), familyLength);
    QVERIFY(w.child<QTimer>("Timer1")->isActive());
    // The first tick lays the scoreboard out with whatever came back, and the
    // scoreboard paints with it.
    timedTick(w);
    QVERIFY(w.errorBoxes.isEmpty());
    // Whatever size is stored, the board's font is one that can be drawn.
    QVERIFY(QFontInfo(w.grid()->gridFont()).pixelSize() > 0);
    QVERIFY(QFontMetrics(w.grid()->gridFont()).ascent() > 0);
    if (width > 0 && width <= 2000) {
        w.grid()->setCell(0, scb::makeRowLine("Wg 0123"));
        QElapsedTimer paint;
        paint.start();
        (void)w.grid()->grab();
        QVERIFY2(withinStallLimit(paint.elapsed()), "painting with the loaded font stalled");
    }
    // What is written back reads the same way again.
    QVERIFY(w.form->close());
    QVERIFY(w.errorBoxes.isEmpty());
    const scb::Settings again = scb::readSettings(bytesOf(w.path("Resolution.ini")));
    QCOMPARE(again.Screen.x, left);
    QCOMPARE(again.Screen.width, width);
    QCOMPARE(again.Look.Font.size, fontSize);
}

void tst_SettingsFaults::failedWriteAtClose_keepsWindowOldFileAndFeed_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("box"); // empty: the close succeeds after all
    QTest::addColumn<bool>("closeAnyway"); // the box's way out is taken
    QTest::newRow("read-only file") << "read-only file" << "File access denied." << false;
    QTest::newRow("read-only file, as root") << "read-only file, as root" << "File access denied." << false;
    QTest::newRow("read-only file, closed without saving") << "read-only file, as root" << "File access denied."
                                                           << true;
    QTest::newRow("read-only folder, writable file: rewritten in place") << "read-only folder" << "" << false;
    QTest::newRow("disk full") << "disk full" << "Disk full." << false;
}

void tst_SettingsFaults::failedWriteAtClose_keepsWindowOldFileAndFeed()
{
    QFETCH(QString, fault);
    QFETCH(QString, box);
    QFETCH(bool, closeAnyway);
    m_tally.tried();
    if (fault == "disk full") {
        if (g_smallDisk.isEmpty())
            QSKIP(qPrintable("no small file system to fill: " + g_smallDiskWhy));
        qputenv("TMPDIR", QFile::encodeName(g_smallDisk));
    }
    WindowFixture w;
    qunsetenv("TMPDIR");
    const QString ini = w.path("Resolution.ini");
    const QByteArray old = soundSettings();
    w.writeFile("Resolution.ini", old);
    // The display file lives elsewhere, out of the faults' way, and open to
    // the ordinary user the close may run as.
    QTemporaryDir feed;
    const QString display = feed.filePath("Main.txt");
    QCOMPARE(::chmod(QFile::encodeName(feed.path()).constData(), 0755), 0);
    writeBytes(display, "TIME: before\r\nrow 1\r\nrow 2\r\n");
    w.start();
    w.child<FileOpenEdit>("XMLFile")->setFilename(display);
    timedTick(w);
    QCOMPARE(w.row(0), QStringLiteral("TIME: before"));
    QVERIFY(w.child<QTimer>("Timer1")->isActive());
    w.child<SpinEdit>("ScreenLeft")->setValue(77); // something new to write
    w.wayOuts.push_back(closeAnyway);

    const QByteArray dir = QFile::encodeName(w.dir());
    std::unique_ptr<AsOrdinaryUser> user;
    QByteArray filler;
    if (fault == "read-only file" || fault == "read-only folder") {
        QVERIFY(AsOrdinaryUser::giveAway(w.dir()) && AsOrdinaryUser::giveAway(ini));
        QCOMPARE(::chmod(dir.constData(), fault == "read-only folder" ? 0555 : 0755), 0);
        QCOMPARE(::chmod(QFile::encodeName(ini).constData(), fault == "read-only file" ? 0444 : 0644), 0);
        user = std::make_unique<AsOrdinaryUser>();
        if (!user->ok())
            QSKIP("running as root and cannot switch to an ordinary user to make permissions count");
    } else if (fault == "read-only file, as root") {
        QCOMPARE(::chmod(QFile::encodeName(ini).constData(), 0444), 0);
    } else if (fault == "disk full") {
        // Fill what is left, leaving the old settings file in place.
        const int fd = ::open(QFile::encodeName(w.path("filler")).constData(), O_WRONLY | O_CREAT, 0644);
        QVERIFY(fd >= 0);
        const QByteArray block(4096, 'f');
        while (::write(fd, block.constData(), block.size()) > 0) {
        }
        QCOMPARE(errno, ENOSPC);
        ::close(fd);
    }

    const bool closed = w.form->close();
    user.reset();
    if (box.isEmpty()) {
        QVERIFY(closed);
        QVERIFY(w.errorBoxes.isEmpty());
        QCOMPARE(scb::readSettings(bytesOf(ini)).Screen.x, 77);
        QCOMPARE(QDir(w.dir()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot).size(), 1);
        return;
    }
    QCOMPARE(w.errorBoxes, QStringList{box});
    QCOMPARE(w.errorDetails, QStringList{"The settings could not be saved to " + ini + "."});
    QCOMPARE(closed, closeAnyway);
    QCOMPARE(w.form->isVisible(), !closeAnyway);
    if (closeAnyway) {
        QCOMPARE(w.readFile("Resolution.ini"), old);
        return;
    }
    // The board still follows the display file: the poll timer runs again,
    // and with it stopped the folder watch alone brings a rewrite in.
    QVERIFY(w.child<QTimer>("Timer1")->isActive());
    w.child<QTimer>("Timer1")->stop();
    writeBytes(display, "TIME: after\r\nrow 1\r\nrow 2\r\n");
    QTRY_COMPARE(w.row(0), QStringLiteral("TIME: after"));
    QCOMPARE(w.readFile("Resolution.ini"), old);
    // Nothing half-written is left beside it.
    const QStringList left = QDir(w.dir()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    QCOMPARE(left.size(), fault == "disk full" ? 2 : 1);
    // The window carries on: with the fault gone the next close succeeds.
    QCOMPARE(::chmod(dir.constData(), 0755), 0);
    QFile::remove(w.path("filler"));
    QFile::setPermissions(ini, QFile::ReadOwner | QFile::WriteOwner);
    w.errorBoxes.clear();
    QVERIFY(w.form->close());
    QVERIFY(w.errorBoxes.isEmpty());
    QCOMPARE(scb::readSettings(bytesOf(ini)).Screen.x, 77);
}

void tst_SettingsFaults::savedByAnotherInstance_closeAsksBeforeReplacing_data()
{
    QTest::addColumn<bool>("rewritten");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<int>("savedLeft");
    QTest::newRow("rewritten, Yes replaces it") << true << true << 77;
    QTest::newRow("rewritten, No keeps the other's save") << true << false << 1111;
    QTest::newRow("untouched: no question") << false << false << 77;
}

void tst_SettingsFaults::savedByAnotherInstance_closeAsksBeforeReplacing()
{
    QFETCH(bool, rewritten);
    QFETCH(bool, answer);
    QFETCH(int, savedLeft);
    m_tally.tried();
    WindowFixture w;
    w.writeFile("Resolution.ini", soundSettings());
    w.start();
    w.child<SpinEdit>("ScreenLeft")->setValue(77);
    if (rewritten) // the other instance sets Left to 1111 and closes first
        w.writeFile("Resolution.ini", QByteArray(soundSettings()).replace("SLeft=10", "SLeft=1111"));
    w.dialogs->confirmations.push_back(answer);

    QVERIFY(w.form->close());
    QCOMPARE(w.dialogs->questions.size(), rewritten ? 1 : 0);
    QVERIFY(w.errorBoxes.isEmpty());
    QCOMPARE(scb::readSettings(bytesOf(w.path("Resolution.ini"))).Screen.x, savedLeft);
}

void tst_SettingsFaults::unkeepablePath_isRefusedWhenEntered_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");

    const QString lineBreak = "The path holds a line break, which Resolution.ini cannot keep.";
    const QString tooLong = "The path is longer than the 2047 characters Resolution.ini can keep.";
    const QString longPath = "/" + QString(2047, 'p');
    QTest::newRow("typed line break") << "typed" << "/data/Main\n.txt" << lineBreak;
    QTest::newRow("typed past 2047 characters") << "typed" << longPath << tooLong;
    QTest::newRow("browsed CR") << "browsed" << "/data/Main\r.txt" << lineBreak;
    QTest::newRow("dropped, too long") << "dropped" << longPath << tooLong;
    QTest::newRow("picture with a line break") << "picture" << "/pics/back\n.bmp" << lineBreak;
}

void tst_SettingsFaults::unkeepablePath_isRefusedWhenEntered()
{
    QFETCH(QString, how);
    QFETCH(QString, path);
    QFETCH(QString, message);
    m_tally.tried();
    WindowFixture w;
    w.start();
    const QString kept = w.path("Main.txt");
    w.child<FileOpenEdit>("XMLFile")->setFilename(kept);
    if (how == "typed") {
        w.child<FileOpenEdit>("XMLFile")->selectAll();
        w.child<FileOpenEdit>("XMLFile")->insert(path); // as a paste does
    } else if (how == "browsed") {
        w.child<FileOpenEdit>("XMLFile")->openDialog = [path](QWidget *, const QString &) { return path; };
        w.child<FileOpenEdit>("XMLFile")->browse();
    } else if (how == "dropped") {
        auto *drop = w.child<FileDropTarget>("LMDFMDrop1");
        emit drop->fmDragDrop(drop, 1, 10, 10, {path});
    } else {
        w.dialogs->pictures.push_back(path);
        QVERIFY(w.call("ButtonBackgroundImageClick"));
    }
    QCOMPARE(w.dialogs->messages, QStringList{message});
    QCOMPARE(w.child<FileOpenEdit>("XMLFile")->filename(), kept);
    QVERIFY(w.form->state().Choices.Look.BackgroundImagePath.empty());
    QVERIFY(w.form->close());
    const scb::Settings saved = scb::readSettings(bytesOf(w.path("Resolution.ini")));
    QCOMPARE(QString::fromStdString(saved.DisplayFile), kept);
    QVERIFY(saved.Look.BackgroundImagePath.empty());
}

int main(int argc, char **argv)
{
    mountSmallDisk();
    Application app(argc, argv);
    tst_SettingsFaults tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_SettingsFaults.moc"
