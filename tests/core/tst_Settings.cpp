#include <QtTest>

#include <cerrno>
#include <map>
#include <string>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/Error.h"
#include "core/Settings.h"

#include "DefaultSettings.h"

using scb::Settings;

namespace {

const QByteArray kDefaultFile = DefaultSettingsFile;

const QByteArray kHandWritten = "; kept by hand\n[Settings]\nSLeft=12\nFName=\"Courier New\"\n[Other]\nX=1\n";

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// What the control window does between start-up and shut-down when the
// operator touches nothing: the spin edits clamp what was read.
Settings throughSpinEdits(Settings s)
{
    s.Left = scb::clampSpin(s.Left);
    s.Top = scb::clampSpin(s.Top);
    s.Width = scb::clampSpin(s.Width);
    s.Height = scb::clampSpin(s.Height);
    return s;
}

QString writeError(const std::string &path, const Settings &s, const scb::WriteFunction &write = {})
{
    try {
        scb::writeSettings(path, s, write);
    } catch (const scb::Error &e) {
        return QString::fromStdString(e.what());
    }
    return QString();
}

// Root ignores permission bits, so a root test run writes from a child that
// has given up root. Exit code 0: "File access denied" was thrown.
int writeAsNobody(const std::string &path)
{
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(3);
        ::_exit(writeError(path, Settings{}) == "File access denied" ? 0 : 1);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace

class tst_Settings : public QObject
{
    Q_OBJECT

private slots:
    void settingsPath_data();
    void settingsPath();
    void readSettings_noFile_givesDefaults();
    void unchangedRun_noFile_writesThirteenDefaultLines();
    void loadThenSave_writesNormalForm_data();
    void loadThenSave_writesNormalForm();
    void boldItalic_writtenAsPlainAndReadBackPlain();
    void lineBreakInPath_cannotInjectKeys();
    void writeSettings_existingFile_keepsPermissions();
    void writeSettings_throughSymlink_updatesTargetKeepsLink();
    void writeSettings_shortWrites_fileComplete();
    void writeSettings_writeFails_oldFileUntouched_data();
    void writeSettings_writeFails_oldFileUntouched();
    void writeSettings_readOnlyFile_accessDenied();
    void writeSettings_folderGone_invalidFilename_data();
    void writeSettings_folderGone_invalidFilename();
};

void tst_Settings::settingsPath_data()
{
    QTest::addColumn<QString>("dir");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << "/home/op/board" << "/home/op/board/Resolution.ini";
    QTest::newRow("trailing slash") << "/home/op/board/" << "/home/op/board/Resolution.ini";
    QTest::newRow("root") << "/" << "/Resolution.ini";
    QTest::newRow("empty") << "" << "Resolution.ini";
}

void tst_Settings::settingsPath()
{
    QFETCH(QString, dir);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(scb::settingsPath(dir.toStdString())), expected);
}

void tst_Settings::readSettings_noFile_givesDefaults()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const Settings s = scb::readSettings(scb::settingsPath(dir.path().toStdString()));

    QCOMPARE(s.Left, 801);
    QCOMPARE(s.Top, 0);
    QCOMPARE(s.Width, 800);
    QCOMPARE(s.Height, 600);
    QCOMPARE(s.BackColor, scb::makeColor(255, 255, 128));
    QVERIFY(s.ShowBorder);
    QCOMPARE(s.Font.family, std::string("Arial"));
    QCOMPARE(s.Font.size, 18);
    QVERIFY(s.Font.isExactlyBold());
    QCOMPARE(s.Font.color, scb::makeColor(255, 0, 0));
    QVERIFY(s.DisplayFile.empty());
    QVERIFY(s.BackgroundImage.empty());
}

void tst_Settings::unchangedRun_noFile_writesThirteenDefaultLines()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string path = scb::settingsPath(dir.path().toStdString());

    scb::writeSettings(path, throughSpinEdits(scb::readSettings(path)));
    QCOMPARE(readAll(QString::fromStdString(path)), kDefaultFile);
    QCOMPARE(entries(dir.path()), QStringList{"Resolution.ini"});
}

void tst_Settings::loadThenSave_writesNormalForm_data()
{
    QTest::addColumn<QByteArray>("input");
    // Lines of the default file that change, by key; all others stay default.
    QTest::addColumn<QVariantMap>("changed");

    const QByteArray longPath = "/" + QByteArray(2999, 'p');

    QTest::newRow("hex 0x colour") << QByteArray("[Settings]\r\nBColor=0x80FFFF\r\nFColor=0X80FF00\r\n")
                                   << QVariantMap{{"FColor", "8453888"}};
    QTest::newRow("hex $ colour") << QByteArray("[Settings]\r\nBColor=$FF\r\n") << QVariantMap{{"BColor", "255"}};
    QTest::newRow("eight hex digits") << QByteArray("[Settings]\r\nBColor=$FFFFFFFF\r\n")
                                      << QVariantMap{{"BColor", "-1"}};
    QTest::newRow("lone x hex") << QByteArray("[Settings]\r\nFColor=x1F\r\n") << QVariantMap{{"FColor", "31"}};
    QTest::newRow("0x alone") << QByteArray("[Settings]\r\nFColor=0x\r\n") << QVariantMap{};
    QTest::newRow("nine hex digits") << QByteArray("[Settings]\r\nFColor=$123456789\r\n") << QVariantMap{};
    QTest::newRow("word colour") << QByteArray("[Settings]\r\nBColor=abc\r\nFColor=7\r\n")
                                 << QVariantMap{{"FColor", "7"}};
    QTest::newRow("decimal point") << QByteArray("[Settings]\r\nBColor=12.5\r\n") << QVariantMap{};
    QTest::newRow("blank value") << QByteArray("[Settings]\r\nBColor= \r\n") << QVariantMap{};
    QTest::newRow("trailing letter") << QByteArray("[Settings]\r\nBColor=7x\r\n") << QVariantMap{};
    QTest::newRow("past 32 bits") << QByteArray("[Settings]\r\nBColor=4294967296\r\nFSize=-99999999999\r\n")
                                  << QVariantMap{};
    QTest::newRow("plus sign") << QByteArray("[Settings]\r\nFSize=+12\r\n") << QVariantMap{{"FSize", "12"}};
    QTest::newRow("quoted leading spaces") << QByteArray("[Settings]\r\nFSize=\"  12\"\r\n")
                                           << QVariantMap{{"FSize", "12"}};
    QTest::newRow("negative colour kept signed") << QByteArray("[Settings]\r\nBColor=-16777216\r\n")
                                                 << QVariantMap{{"BColor", "-16777216"}};
    QTest::newRow("border other than 1") << QByteArray("[Settings]\r\nShowBorder=5\r\n")
                                         << QVariantMap{{"ShowBorder", "0"}};
    QTest::newRow("border off") << QByteArray("[Settings]\r\nShowBorder=0\r\n") << QVariantMap{{"ShowBorder", "0"}};
    QTest::newRow("bold other than 1") << QByteArray("[Settings]\r\nFBold=2\r\n") << QVariantMap{{"FBold", "0"}};
    QTest::newRow("negative left clamped") << QByteArray("[Settings]\r\nSLeft=-5\r\nSTop=-1\r\n")
                                           << QVariantMap{{"SLeft", "0"}};
    QTest::newRow("wide clamped") << QByteArray("[Settings]\r\nSWidth=12000\r\nSHeight=9999\r\n")
                                  << QVariantMap{{"SWidth", "9999"}, {"SHeight", "9999"}};
    QTest::newRow("quoted name") << QByteArray("[Settings]\r\nFName = \"Times New Roman\" \r\n")
                                 << QVariantMap{{"FName", "Times New Roman"}};
    QTest::newRow("other letter case") << QByteArray("[SETTINGS]\r\nsleft=5\r\nfname=Verdana\r\nDISPLAYFILE=/m.txt\r\n")
                                       << QVariantMap{{"SLeft", "5"}, {"FName", "Verdana"}, {"DisplayFile", "/m.txt"}};
    QTest::newRow("LF line ends, extras dropped")
        << QByteArray("; note\n[Settings]\nExtra=1\nSTop=3\n[Window]\nSLeft=9\n")
        << QVariantMap{{"STop", "3"}};
    QTest::newRow("long path cut") << QByteArray("[Settings]\r\nBackgroundImage=" + longPath + "\r\n")
                                   << QVariantMap{{"BackgroundImage", longPath.left(2047)}};
    QTest::newRow("8-bit path bytes") << QByteArray("[Settings]\r\nDisplayFile=C:\\Ergebnisse\\M\xE4in.txt\r\n")
                                      << QVariantMap{{"DisplayFile", QByteArray("C:\\Ergebnisse\\M\xE4in.txt")}};
}

void tst_Settings::loadThenSave_writesNormalForm()
{
    QFETCH(QByteArray, input);
    QFETCH(QVariantMap, changed);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string path = scb::settingsPath(dir.path().toStdString());
    writeAll(QString::fromStdString(path), input);

    scb::writeSettings(path, throughSpinEdits(scb::readSettings(path)));

    QByteArray expected;
    for (const QByteArray &line : kDefaultFile.split('\n')) {
        if (line.isEmpty())
            continue;
        const QString key = QString::fromLatin1(line.left(line.indexOf('=')));
        expected += changed.contains(key) ? key.toLatin1() + '=' + changed.value(key).toByteArray() + "\r\n"
                                          : line + '\n';
    }
    QCOMPARE(readAll(QString::fromStdString(path)), expected);
}

void tst_Settings::boldItalic_writtenAsPlainAndReadBackPlain()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string path = scb::settingsPath(dir.path().toStdString());

    Settings s;
    s.Font.italic = true;
    scb::writeSettings(path, s);
    QVERIFY(readAll(QString::fromStdString(path)).contains("\r\nFBold=0\r\n"));

    const Settings back = scb::readSettings(path);
    QVERIFY(!back.Font.bold);
    QVERIFY(!back.Font.italic);
    QVERIFY(!back.Font.underline);
    QVERIFY(!back.Font.strikeOut);
}

void tst_Settings::lineBreakInPath_cannotInjectKeys()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string path = scb::settingsPath(dir.path().toStdString());

    Settings s;
    s.DisplayFile = "/data/a\r\nBackgroundImage=/evil.bmp";
    s.BackgroundImage = "/pics/back.bmp";
    scb::writeSettings(path, s);

    QCOMPARE(readAll(QString::fromStdString(path)).count('\n'), 13);
    const Settings back = scb::readSettings(path);
    QCOMPARE(back.DisplayFile, std::string("/data/a"));
    QCOMPARE(back.BackgroundImage, std::string("/pics/back.bmp"));
}

void tst_Settings::writeSettings_existingFile_keepsPermissions()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string path = scb::settingsPath(dir.path().toStdString());
    writeAll(QString::fromStdString(path), kHandWritten);
    QCOMPARE(::chmod(path.c_str(), 0640), 0);

    scb::writeSettings(path, Settings{});

    struct stat st {};
    QCOMPARE(::stat(path.c_str(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0640));
    QCOMPARE(readAll(QString::fromStdString(path)), kDefaultFile);
}

void tst_Settings::writeSettings_throughSymlink_updatesTargetKeepsLink()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("real"));
    const QString target = dir.filePath("real/Resolution.ini");
    writeAll(target, kHandWritten);
    const QString link = dir.filePath("Resolution.ini");
    QVERIFY(QFile::link(target, link));

    scb::writeSettings(link.toStdString(), Settings{});

    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readAll(target), kDefaultFile);
    QCOMPARE(entries(dir.filePath("real")), QStringList{"Resolution.ini"});
}

void tst_Settings::writeSettings_shortWrites_fileComplete()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string path = scb::settingsPath(dir.path().toStdString());
    int calls = 0;
    const auto dribble = [&calls](int fd, const void *data, std::size_t size) -> ssize_t {
        ++calls;
        if (calls % 4 == 0) {
            errno = EINTR;
            return -1;
        }
        return ::write(fd, data, std::min<std::size_t>(size, 3));
    };

    scb::writeSettings(path, Settings{}, dribble);
    QCOMPARE(readAll(QString::fromStdString(path)), kDefaultFile);
}

void tst_Settings::writeSettings_writeFails_oldFileUntouched_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("bytesBeforeFailure");
    QTest::addColumn<QString>("message");

    QTest::newRow("disk full at once") << ENOSPC << 0 << "Disk full";
    QTest::newRow("disk full midway") << ENOSPC << 40 << "Disk full";
    QTest::newRow("quota") << EDQUOT << 10 << "Disk full";
    QTest::newRow("no progress") << 0 << 10 << "Disk full";
    QTest::newRow("access") << EACCES << 0 << "File access denied";
    QTest::newRow("read-only file system") << EROFS << 0 << "File access denied";
    QTest::newRow("other error") << EIO << 5 << QString("I/O error %1").arg(EIO);
}

void tst_Settings::writeSettings_writeFails_oldFileUntouched()
{
    QFETCH(int, error);
    QFETCH(int, bytesBeforeFailure);
    QFETCH(QString, message);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string path = scb::settingsPath(dir.path().toStdString());
    writeAll(QString::fromStdString(path), kHandWritten);

    int written = 0;
    const auto failing = [&](int fd, const void *data, std::size_t size) -> ssize_t {
        if (written >= bytesBeforeFailure) {
            if (error == 0)
                return 0;
            errno = error;
            return -1;
        }
        const ssize_t n = ::write(fd, data, std::min<std::size_t>(size, bytesBeforeFailure - written));
        written += int(n);
        return n;
    };

    QCOMPARE(writeError(path, Settings{}, failing), message);
    QCOMPARE(readAll(QString::fromStdString(path)), kHandWritten);
    QCOMPARE(entries(dir.path()), QStringList{"Resolution.ini"});
}

void tst_Settings::writeSettings_readOnlyFile_accessDenied()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string path = scb::settingsPath(dir.path().toStdString());
    writeAll(QString::fromStdString(path), kHandWritten);
    QCOMPARE(::chmod(path.c_str(), 0444), 0);
    // A writable folder: renaming over the read-only file would succeed.
    QCOMPARE(::chmod(dir.path().toLocal8Bit().constData(), 0777), 0);

    if (::geteuid() == 0) {
        const int result = writeAsNobody(path);
        if (result == 3)
            QSKIP("running as root and cannot drop to an unprivileged user");
        QCOMPARE(result, 0);
    } else {
        QCOMPARE(writeError(path, Settings{}), QString("File access denied"));
    }
    QCOMPARE(readAll(QString::fromStdString(path)), kHandWritten);
    QCOMPARE(entries(dir.path()), QStringList{"Resolution.ini"});
}

void tst_Settings::writeSettings_folderGone_invalidFilename_data()
{
    QTest::addColumn<bool>("replacedByFile");
    QTest::newRow("removed") << false;
    QTest::newRow("replaced by a file") << true;
}

void tst_Settings::writeSettings_folderGone_invalidFilename()
{
    QFETCH(bool, replacedByFile);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath("start");
    QVERIFY(QDir().mkdir(folder));
    const std::string path = scb::settingsPath(folder.toStdString());
    QVERIFY(QDir(folder).removeRecursively());
    if (replacedByFile)
        writeAll(folder, "not a folder");

    QCOMPARE(writeError(path, Settings{}), QString("Invalid filename"));
    QCOMPARE(entries(dir.path()), replacedByFile ? QStringList{"start"} : QStringList{});
}

QTEST_APPLESS_MAIN(tst_Settings)
#include "tst_Settings.moc"
