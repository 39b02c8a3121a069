#include <QtTest>

#include <cerrno>
#include <map>
#include <optional>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/Error.h"
#include "core/Settings.h"
#include "core/SpinEditModel.h"

#include "DefaultSettings.h"

using scb::Settings;

namespace {

const QByteArray DefaultFile = DefaultSettingsFile;

const QByteArray HandWritten = "; kept by hand\n[Settings]\nSLeft=12\nFName=\"Courier New\"\n[Other]\nX=1\n";

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
// operator touches nothing: its spin edits, 0 to 9999, clamp what was read.
Settings throughSpinEdits(Settings s)
{
    for (int *value : {&s.Screen.x, &s.Screen.y, &s.Screen.width, &s.Screen.height}) {
        scb::SpinEditModel edit;
        edit.setMaxValue(9999);
        edit.setValue(*value);
        *value = static_cast<int>(edit.value());
    }
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

constexpr uid_t Nobody = 65534;

// Root ignores a folder's permission bits, so a root test run writes from a
// child that has given up root; the child hands back what was thrown.
QString writeErrorAsNobody(const std::string &path, const scb::WriteFunction &write = {})
{
    if (::geteuid() != 0)
        return writeError(path, Settings{}, write);
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return "<no pipe>";
    const pid_t child = ::fork();
    if (child < 0)
        return "<no child>";
    if (child == 0) {
        ::close(pipeFds[0]);
        if (::setgid(Nobody) != 0 || ::setuid(Nobody) != 0)
            ::_exit(3);
        const QByteArray message = writeError(path, Settings{}, write).toUtf8();
        ::_exit(::write(pipeFds[1], message.constData(), message.size()) == message.size() ? 0 : 1);
    }
    ::close(pipeFds[1]);
    QByteArray message;
    char buffer[256];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        message.append(buffer, n);
    ::close(pipeFds[0]);
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "<child failed>";
    return QString::fromUtf8(message);
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
    void pathCannotBeKept_data();
    void pathCannotBeKept();
    void writeSettings_existingFile_keepsOwnerAndMode_data();
    void writeSettings_existingFile_keepsOwnerAndMode();
    void writeSettings_throughSymlink_updatesTargetKeepsLink();
    void writeSettings_shortWrites_fileComplete();
    void writeSettings_writeFails_oldFileUntouched_data();
    void writeSettings_writeFails_oldFileUntouched();
    void writeSettings_refused_leavesFilesUntouched_data();
    void writeSettings_refused_leavesFilesUntouched();
    void rewrittenSince_data();
    void rewrittenSince();
    void save_secondInstanceClosingMidway_isAsked();
    void save_fileChangedWhileAsking_asksAgain();
    void removeStaleTemporaries_data();
    void removeStaleTemporaries();
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

    QCOMPARE(s.Screen.x, 801);
    QCOMPARE(s.Screen.y, 0);
    QCOMPARE(s.Screen.width, 800);
    QCOMPARE(s.Screen.height, 600);
    QCOMPARE(s.Look.BackColor, scb::makeColor(255, 255, 128));
    QVERIFY(s.Look.ShowBorder);
    QCOMPARE(s.Look.Font.family, std::string("Arial"));
    QCOMPARE(s.Look.Font.size, 18);
    QVERIFY(s.Look.Font.isExactlyBold());
    QCOMPARE(s.Look.Font.color, scb::makeColor(255, 0, 0));
    QVERIFY(s.DisplayFile.empty());
    QVERIFY(s.Look.BackgroundImagePath.empty());
}

void tst_Settings::unchangedRun_noFile_writesThirteenDefaultLines()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string path = scb::settingsPath(dir.path().toStdString());

    scb::writeSettings(path, throughSpinEdits(scb::readSettings(path)));
    QCOMPARE(readAll(QString::fromStdString(path)), DefaultFile);
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
    QTest::newRow("past 32 bits") << QByteArray("[Settings]\r\nBColor=4294967296\r\nFSize=-99999999999\r\n"
                                             "SLeft=4294967297\r\nSWidth=-9223372036854775809\r\n")
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
    for (const QByteArray &line : DefaultFile.split('\n')) {
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
    s.Look.Font.italic = true;
    scb::writeSettings(path, s);
    QVERIFY(readAll(QString::fromStdString(path)).contains("\r\nFBold=0\r\n"));

    const Settings back = scb::readSettings(path);
    QVERIFY(!back.Look.Font.bold);
    QVERIFY(!back.Look.Font.italic);
    QVERIFY(!back.Look.Font.underline);
    QVERIFY(!back.Look.Font.strikeOut);
}

void tst_Settings::pathCannotBeKept_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QString>("why");

    const QString lineBreak = "The path holds a line break, which Resolution.ini cannot keep.";
    const QString tooLong = "The path is longer than the 2047 characters Resolution.ini can keep.";
    QTest::newRow("plain") << QByteArray("/data/Main.txt") << QString();
    QTest::newRow("2047 characters") << "/" + QByteArray(2046, 'p') << QString();
    QTest::newRow("2048 characters") << "/" + QByteArray(2047, 'p') << tooLong;
    QTest::newRow("LF") << QByteArray("/data/a\nb.txt") << lineBreak;
    QTest::newRow("CR") << QByteArray("/data/a\rb.txt") << lineBreak;
    QTest::newRow("NUL") << QByteArray("/data/a\0b.txt", 13) << lineBreak;
}

void tst_Settings::pathCannotBeKept()
{
    QFETCH(QByteArray, path);
    QFETCH(QString, why);
    const std::optional<std::string> got = scb::pathCannotBeKept(std::string_view(path.constData(), path.size()));
    QCOMPARE(QString::fromStdString(got.value_or("")), why);
}

void tst_Settings::writeSettings_existingFile_keepsOwnerAndMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("othersFile"); // root's file, written by another user
    QTest::newRow("group-readable") << 0640 << false;
    QTest::newRow("private") << 0600 << false;
    QTest::newRow("readable by others only") << 0604 << false;
    QTest::newRow("another user's file, writable by all") << 0666 << true;
}

void tst_Settings::writeSettings_existingFile_keepsOwnerAndMode()
{
    QFETCH(int, mode);
    QFETCH(bool, othersFile);
    if (othersFile && ::geteuid() != 0)
        QSKIP("needs root to write as one user a file that belongs to another");

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string path = scb::settingsPath(dir.path().toStdString());
    writeAll(QString::fromStdString(path), HandWritten);
    QCOMPARE(::chmod(path.c_str(), mode_t(mode)), 0);
    struct stat before {};
    QCOMPARE(::stat(path.c_str(), &before), 0);

    if (othersFile) {
        // The folder would take the writer's temporary file, and with it
        // hand the settings to the writer.
        QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
        QCOMPARE(writeErrorAsNobody(path), QString());
    } else {
        // Without a umask, a temporary file created with more permission
        // than the old file's shows it.
        const mode_t oldMask = ::umask(0);
        const auto restoreMask = qScopeGuard([oldMask] { ::umask(oldMask); });
        std::optional<mode_t> created;
        const auto observe = [&created](int fd, const void *data, std::size_t size) -> ssize_t {
            struct stat st {};
            if (!created && ::fstat(fd, &st) == 0)
                created = st.st_mode & 07777;
            return ::write(fd, data, size);
        };
        scb::writeSettings(path, Settings{}, observe);
        QVERIFY(created);
        QCOMPARE(*created & ~mode_t(mode), mode_t(0));
    }

    struct stat after {};
    QCOMPARE(::stat(path.c_str(), &after), 0);
    QCOMPARE(after.st_mode & 07777, mode_t(mode));
    QCOMPARE(after.st_uid, before.st_uid);
    QCOMPARE(after.st_gid, before.st_gid);
    QCOMPARE(readAll(QString::fromStdString(path)), DefaultFile);
    QCOMPARE(entries(dir.path()), QStringList{"Resolution.ini"});
}

void tst_Settings::writeSettings_throughSymlink_updatesTargetKeepsLink()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("real"));
    const QString target = dir.filePath("real/Resolution.ini");
    writeAll(target, HandWritten);
    const QString link = dir.filePath("Resolution.ini");
    QVERIFY(QFile::link(target, link));

    scb::writeSettings(link.toStdString(), Settings{});

    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readAll(target), DefaultFile);
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
    QCOMPARE(readAll(QString::fromStdString(path)), DefaultFile);
}

void tst_Settings::writeSettings_writeFails_oldFileUntouched_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("bytesBeforeFailure");
    QTest::addColumn<QString>("message");
    // The folder refuses new files, so the file is rewritten in place.
    QTest::addColumn<bool>("readOnlyFolder");

    QTest::newRow("disk full at once") << ENOSPC << 0 << "Disk full" << false;
    QTest::newRow("disk full midway") << ENOSPC << 40 << "Disk full" << false;
    QTest::newRow("quota") << EDQUOT << 10 << "Disk full" << false;
    QTest::newRow("no progress") << 0 << 10 << "Disk full" << false;
    QTest::newRow("access") << EACCES << 0 << "File access denied" << false;
    QTest::newRow("read-only file system") << EROFS << 0 << "File access denied" << false;
    QTest::newRow("other error") << EIO << 5 << QString("I/O error %1").arg(EIO) << false;
    QTest::newRow("in place: disk full past the old end") << ENOSPC << 100 << "Disk full" << true;
    QTest::newRow("in place: device error at once") << EIO << 0 << QString("I/O error %1").arg(EIO) << true;
}

void tst_Settings::writeSettings_writeFails_oldFileUntouched()
{
    QFETCH(int, error);
    QFETCH(int, bytesBeforeFailure);
    QFETCH(QString, message);
    QFETCH(bool, readOnlyFolder);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string path = scb::settingsPath(dir.path().toStdString());
    writeAll(QString::fromStdString(path), HandWritten);
    const QByteArray folder = QFile::encodeName(dir.path());
    if (readOnlyFolder) {
        QVERIFY(::geteuid() != 0 || ::chown(path.c_str(), Nobody, Nobody) == 0);
        QCOMPARE(::chmod(folder.constData(), ::geteuid() == 0 ? 0755 : 0555), 0);
    }

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

    QCOMPARE(readOnlyFolder ? writeErrorAsNobody(path, failing) : writeError(path, Settings{}, failing), message);
    QCOMPARE(::chmod(folder.constData(), 0700), 0);
    QCOMPARE(readAll(QString::fromStdString(path)), HandWritten);
    QCOMPARE(entries(dir.path()), QStringList{"Resolution.ini"});
}

void tst_Settings::writeSettings_refused_leavesFilesUntouched_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");

    QTest::newRow("read-only file, even for root") << "read-only" << "File access denied";
    QTest::newRow("folder named Resolution.ini") << "folder" << "File access denied";
    QTest::newRow("another user's link") << "foreign link" << "File access denied";
    QTest::newRow("another user's link behind an own one") << "foreign link behind own" << "File access denied";
    QTest::newRow("line break in the display file path") << "line break"
                                                        << "The path holds a line break, which Resolution.ini cannot keep.";
    QTest::newRow("picture path too long") << "long path"
                                           << "The path is longer than the 2047 characters Resolution.ini can keep.";
}

void tst_Settings::writeSettings_refused_leavesFilesUntouched()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    if (fault.contains("link") && ::geteuid() != 0)
        QSKIP("needs root to plant a link that belongs to another user");

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("real"));
    const QString ini = dir.filePath("Resolution.ini");
    // Where a followed link would aim the write: any file the operator may write.
    const QString target = dir.filePath("real/victim.txt");
    writeAll(target, HandWritten);
    Settings s;
    if (fault == "read-only") {
        writeAll(ini, HandWritten);
        QCOMPARE(::chmod(QFile::encodeName(ini).constData(), 0444), 0);
    } else if (fault == "folder") {
        QVERIFY(QDir().mkdir(ini));
    } else if (fault == "foreign link") {
        QVERIFY(QFile::link(target, ini));
        QCOMPARE(::lchown(QFile::encodeName(ini).constData(), Nobody, Nobody), 0);
    } else if (fault == "foreign link behind own") {
        const QString middle = dir.filePath("real/middle.ini");
        QVERIFY(QFile::link(target, middle));
        QCOMPARE(::lchown(QFile::encodeName(middle).constData(), Nobody, Nobody), 0);
        QVERIFY(QFile::link(middle, ini));
    } else {
        writeAll(ini, HandWritten);
        if (fault == "line break")
            s.DisplayFile = "/data/a\r\nBackgroundImage=/evil.bmp";
        else
            s.Look.BackgroundImagePath = "/" + std::string(2047, 'p');
    }
    const QStringList before = entries(dir.path()) + entries(dir.filePath("real"));

    QCOMPARE(writeError(ini.toStdString(), s), message);
    QCOMPARE(readAll(target), HandWritten);
    if (QFileInfo(ini).isFile() && !QFileInfo(ini).isSymLink())
        QCOMPARE(readAll(ini), HandWritten);
    QCOMPARE(entries(dir.path()) + entries(dir.filePath("real")), before);
}

void tst_Settings::rewrittenSince_data()
{
    QTest::addColumn<QByteArray>("atStart"); // "<none>": no file
    QTest::addColumn<QByteArray>("atClose"); // "<none>": removed; "<ours>": written by writeSettings
    QTest::addColumn<bool>("asks");

    const QByteArray other = "[Settings]\r\nSLeft=1111\r\n";
    QTest::newRow("unchanged") << HandWritten << HandWritten << false;
    QTest::newRow("saved by another instance") << HandWritten << other << true;
    QTest::newRow("made by another instance") << QByteArray("<none>") << other << true;
    QTest::newRow("removed") << HandWritten << QByteArray("<none>") << false;
    QTest::newRow("emptied") << HandWritten << QByteArray() << false;
    QTest::newRow("written by this program") << HandWritten << QByteArray("<ours>") << false;
}

void tst_Settings::rewrittenSince()
{
    QFETCH(QByteArray, atStart);
    QFETCH(QByteArray, atClose);
    QFETCH(bool, asks);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ini = dir.filePath("Resolution.ini");
    if (atStart != "<none>")
        writeAll(ini, atStart);
    scb::SettingsOnDisk seen;
    scb::readSettings(ini.toStdString(), &seen);
    if (atClose == "<none>")
        QVERIFY(QFile::remove(ini));
    else if (atClose == "<ours>")
        seen = scb::writeSettings(ini.toStdString(), Settings{});
    else
        writeAll(ini, atClose);
    QCOMPARE(scb::rewrittenSince(seen, scb::onDisk(ini.toStdString())), asks);
}

// The second instance closes while the first is between its compare and its
// replace: without the lock both would compare the untouched file, and the
// later rename would undo the other's save unasked.
void tst_Settings::save_secondInstanceClosingMidway_isAsked()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ini = dir.filePath("Resolution.ini");
    writeAll(ini, HandWritten);
    scb::SettingsFile first(std::chrono::milliseconds(0));
    scb::SettingsFile second(std::chrono::milliseconds(0));
    first.load(dir.path().toStdString());
    second.load(dir.path().toStdString());
    Settings mine;
    mine.Screen.x = 1;
    Settings theirs;
    theirs.Screen.x = 2;
    int asked = 0;
    const auto askNo = [&asked] {
        ++asked;
        return false;
    };
    QString midway;
    const auto closeSecondMidway = [&](int fd, const void *data, std::size_t size) -> ssize_t {
        if (midway.isEmpty()) {
            try {
                midway = second.save(theirs, askNo) ? "saved" : "kept";
            } catch (const scb::Error &e) {
                midway = QString::fromStdString(e.what());
            }
        }
        return ::write(fd, data, size);
    };

    QVERIFY(first.save(mine, askNo, closeSecondMidway));
    QCOMPARE(midway, QString("I/O error %1").arg(EAGAIN));
    QCOMPARE(asked, 0);
    // Closed again, the second sees the first's save and asks.
    QVERIFY(!second.save(theirs, askNo));
    QCOMPARE(asked, 1);
    QCOMPARE(scb::readSettings(ini.toStdString()).Screen.x, 1);
}

// A Yes holds for the file the question was about, not for a later save.
void tst_Settings::save_fileChangedWhileAsking_asksAgain()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ini = dir.filePath("Resolution.ini");
    writeAll(ini, HandWritten);
    scb::SettingsFile file;
    file.load(dir.path().toStdString());
    writeAll(ini, "[Settings]\r\nSLeft=1111\r\n");
    int asked = 0;
    const auto askYes = [&] {
        if (++asked == 1)
            writeAll(ini, "[Settings]\r\nSLeft=2222\r\n");
        return true;
    };
    Settings mine;
    mine.Screen.x = 1;

    QVERIFY(file.save(mine, askYes));
    QCOMPARE(asked, 2);
    QCOMPARE(scb::readSettings(ini.toStdString()).Screen.x, 1);
    // Its own save is nothing to ask about.
    QVERIFY(file.save(mine, askYes));
    QCOMPARE(asked, 2);
}

void tst_Settings::removeStaleTemporaries_data()
{
    QTest::addColumn<QString>("name"); // %dead: a pid no process has; %live: a running process
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("removed");

    QTest::newRow("writer gone") << ".Resolution.ini.%dead-0-12345.tmp" << "file" << true;
    QTest::newRow("writer alive") << ".Resolution.ini.%live-0-12345.tmp" << "file" << false;
    QTest::newRow("writer gone, still locked") << ".Resolution.ini.%dead-3-1.tmp" << "locked" << false;
    QTest::newRow("another user's") << ".Resolution.ini.%dead-0-1.tmp" << "foreign" << false;
    QTest::newRow("a folder of that name") << ".Resolution.ini.%dead-0-1.tmp" << "folder" << false;
    QTest::newRow("no pid") << ".Resolution.ini.tmp" << "file" << false;
    QTest::newRow("two numbers") << ".Resolution.ini.%dead-1.tmp" << "file" << false;
    QTest::newRow("not a number") << ".Resolution.ini.%dead-x-1.tmp" << "file" << false;
    QTest::newRow("no leading dot") << "Resolution.ini.%dead-0-1.tmp" << "file" << false;
    QTest::newRow("another file's") << ".Other.ini.%dead-0-1.tmp" << "file" << false;
}

void tst_Settings::removeStaleTemporaries()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(bool, removed);
    if (kind == "foreign" && ::geteuid() != 0)
        QSKIP("needs root to leave a file that belongs to another user");

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // Above any pid the kernel hands out.
    name.replace("%dead", "2147483647").replace("%live", QString::number(::getppid()));
    const QString path = dir.filePath(name);
    writeAll(dir.filePath("Resolution.ini"), HandWritten);
    int locked = -1;
    if (kind == "folder") {
        QVERIFY(QDir().mkdir(path));
    } else {
        writeAll(path, "[Settings]\r\nSLeft=");
        if (kind == "foreign")
            QCOMPARE(::chown(QFile::encodeName(path).constData(), Nobody, Nobody), 0);
        if (kind == "locked") {
            // Another machine's writer on a shared folder: its pid means nothing here.
            locked = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
            QVERIFY(locked >= 0);
            QCOMPARE(::flock(locked, LOCK_EX), 0);
        }
    }

    scb::removeStaleTemporaries(scb::settingsPath(dir.path().toStdString()));
    if (locked >= 0)
        ::close(locked);
    QCOMPARE(QFileInfo::exists(path), !removed);
    QCOMPARE(readAll(dir.filePath("Resolution.ini")), HandWritten);
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
