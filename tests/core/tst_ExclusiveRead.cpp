#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include "core/Error.h"
#include "core/ExclusiveRead.h"
#include "core/PreviewLines.h"

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Another program holding the file open for writing, as the competition
// program does while it writes; it stays until killed.
class Writer
{
public:
    explicit Writer(const QString &path)
    {
        m_process.start("sh", {"-c", "exec 3>>\"$1\"; echo ready; exec sleep 60", "sh", path});
    }
    ~Writer() { stop(); }

    bool waitUntilOpen()
    {
        return m_process.waitForReadyRead(10000) && m_process.readAllStandardOutput().startsWith("ready");
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(10000);
    }

private:
    QProcess m_process;
};

QString errorOf(const std::string &path)
{
    try {
        scb::readFileExclusive(path);
    } catch (const scb::Error &e) {
        return QString::fromStdString(e.what());
    }
    return QString();
}

} // namespace

class TestExclusiveRead : public QObject
{
    Q_OBJECT

private slots:
    void read_returnsEveryByteUnchanged();
    void read_unopenable_throwsCannotOpen_data();
    void read_unopenable_throwsCannotOpen();
    void read_fifo_failsWithoutWaiting();
    void loadFromFile_whileWriterHoldsFile_failsAndKeepsText();
    void read_writersOpeningMeanwhile_neverEndsProgram();
};

void TestExclusiveRead::read_returnsEveryByteUnchanged()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Main.txt");
    QByteArray bytes("\xEF\xBB\xBFline\r\nnul\0here\n\xFF", 19);
    bytes.append(QByteArray(300'000, 'z')); // longer than any single read
    writeFile(path, bytes);
    QCOMPARE(QByteArray::fromStdString(scb::readFileExclusive(path.toStdString())), bytes);

    writeFile(path, QByteArray());
    QCOMPARE(scb::readFileExclusive(path.toStdString()), std::string());
}

void TestExclusiveRead::read_unopenable_throwsCannotOpen_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing") << "absent.txt";
    QTest::newRow("directory") << "sub";
    QTest::newRow("empty path") << "";
}

void TestExclusiveRead::read_unopenable_throwsCannotOpen()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    const std::string path = name.isEmpty() ? std::string() : dir.filePath(name).toStdString();
    QCOMPARE(errorOf(path), QString::fromStdString("Cannot open file " + path));
}

void TestExclusiveRead::read_fifo_failsWithoutWaiting()
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("Main.txt").toStdString();
    QCOMPARE(::mkfifo(path.c_str(), 0600), 0);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(errorOf(path), QString::fromStdString("Cannot open file " + path));
    QVERIFY(clock.elapsed() < 2000);
}

void TestExclusiveRead::loadFromFile_whileWriterHoldsFile_failsAndKeepsText()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Main.txt");
    writeFile(path, "new\r\ntext\r\nhere");
    scb::PreviewLines preview("old\r\ntext");
    int changes = 0;
    preview.onChange = [&] { ++changes; };

    Writer writer(path);
    QVERIFY(writer.waitUntilOpen());
    try {
        preview.loadFromFile(path.toStdString());
        QFAIL("read while a writer held the file");
    } catch (const scb::Error &e) {
        QCOMPARE(QString::fromStdString(e.what()), "Cannot open file " + path);
    }
    QCOMPARE(preview.text(), std::string("old\r\ntext"));
    QCOMPARE(preview.count(), 2);
    QCOMPARE(changes, 0);

    writer.stop();
    QVERIFY(preview.loadFromFile(path.toStdString()));
    QCOMPARE(preview.count(), 3);
    QCOMPARE(changes, 1);
}

void TestExclusiveRead::read_writersOpeningMeanwhile_neverEndsProgram()
{
    // Each open for writing that meets our lease makes the kernel signal this
    // process; that must cost the writer a short wait, not end the program.
    QTemporaryDir dir;
    const QString path = dir.filePath("Main.txt");
    const QByteArray bytes(1 << 20, 'r');
    writeFile(path, bytes);

    QProcess opener;
    opener.start("sh", {"-c", "while :; do : >>\"$1\"; done", "sh", path});
    QVERIFY(opener.waitForStarted(10000));

    int read = 0;
    int refused = 0;
    const QDeadlineTimer deadline(1500);
    while (!deadline.hasExpired()) {
        try {
            const std::string got = scb::readFileExclusive(path.toStdString());
            QCOMPARE(got.size(), std::size_t(bytes.size()));
            ++read;
        } catch (const scb::Error &) {
            ++refused;
        }
    }
    opener.kill();
    opener.waitForFinished(10000);
    qInfo("reads %d, refused while open for writing %d", read, refused);
    QVERIFY(read > 0);
    QVERIFY(refused > 0);
}

QTEST_GUILESS_MAIN(TestExclusiveRead)
#include "tst_ExclusiveRead.moc"
