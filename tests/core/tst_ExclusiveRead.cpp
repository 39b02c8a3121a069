#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/Error.h"
#include "core/platform/ExclusiveRead.h"
#include "core/platform/FileRead.h"
#include "core/platform/FileWatch.h"

Q_DECLARE_METATYPE(scb::ReadFailure)
Q_DECLARE_METATYPE(scb::OverLimit)
Q_DECLARE_METATYPE(scb::FileReadStatus)

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

QString errorOf(const std::string &path, scb::ReadFailure *reason = nullptr, scb::FileWatch *writers = nullptr)
{
    try {
        scb::readFileExclusive(path, writers);
    } catch (const scb::ReadError &e) {
        if (reason)
            *reason = e.reason();
        return QString::fromStdString(e.what());
    }
    return QString();
}

// Reads as an ordinary user while it lives, when the test runs as root; the
// saved id keeps the way back to root.
class AsNobody
{
public:
    AsNobody() { m_active = ::setresgid(65534, 65534, 0) == 0 && ::setresuid(65534, 65534, 0) == 0; }
    ~AsNobody()
    {
        if (m_active && (::setresuid(0, 0, 0) != 0 || ::setresgid(0, 0, 0) != 0))
            qFatal("could not take root back");
    }
    AsNobody(const AsNobody &) = delete;
    AsNobody &operator=(const AsNobody &) = delete;
    bool ok() const { return m_active; }

private:
    bool m_active = false;
};

} // namespace

class tst_ExclusiveRead : public QObject
{
    Q_OBJECT

private slots:
    void read_returnsEveryByteUnchanged();
    void read_unopenable_throwsCannotOpen_data();
    void read_unopenable_throwsCannotOpen();
    void read_fifo_failsWithoutWaiting();
    void read_whileWriterHoldsFile_failsThenReads();
    void read_writerPausedMidWrite_failsWhoeverOwnsFile_data();
    void read_writerPausedMidWrite_failsWhoeverOwnsFile();
    void read_writersOpeningMeanwhile_neverEndsProgram();
    void readWholeFile_keepsWithinLimit_data();
    void readWholeFile_keepsWithinLimit();
};

void tst_ExclusiveRead::read_returnsEveryByteUnchanged()
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

void tst_ExclusiveRead::read_unopenable_throwsCannotOpen_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<scb::ReadFailure>("reason");
    QTest::newRow("missing") << "absent.txt" << scb::ReadFailure::Missing;
    QTest::newRow("directory") << "sub" << scb::ReadFailure::NotRegularFile;
    QTest::newRow("empty path") << "" << scb::ReadFailure::Missing;
}

void tst_ExclusiveRead::read_unopenable_throwsCannotOpen()
{
    QFETCH(QString, name);
    QFETCH(scb::ReadFailure, reason);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    const std::string path = name.isEmpty() ? std::string() : dir.filePath(name).toStdString();
    scb::ReadFailure got = scb::ReadFailure::None;
    QCOMPARE(errorOf(path, &got), QString::fromStdString("Cannot open file " + path));
    QCOMPARE(got, reason);
}

void tst_ExclusiveRead::read_fifo_failsWithoutWaiting()
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("Main.txt").toStdString();
    QCOMPARE(::mkfifo(path.c_str(), 0600), 0);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(errorOf(path), QString::fromStdString("Cannot open file " + path));
    QVERIFY(clock.elapsed() < 2000);
}

void tst_ExclusiveRead::read_whileWriterHoldsFile_failsThenReads()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Main.txt");
    writeFile(path, "new\r\ntext\r\nhere");

    Writer writer(path);
    QVERIFY(writer.waitUntilOpen());
    scb::ReadFailure reason = scb::ReadFailure::None;
    QCOMPARE(errorOf(path.toStdString(), &reason), "Cannot open file " + path);
    QCOMPARE(reason, scb::ReadFailure::WriterBusy);

    writer.stop();
    QCOMPARE(QByteArray::fromStdString(scb::readFileExclusive(path.toStdString())), QByteArray("new\r\ntext\r\nhere"));
}

void tst_ExclusiveRead::read_writerPausedMidWrite_failsWhoeverOwnsFile_data()
{
    QTest::addColumn<bool>("otherOwner");
    QTest::newRow("reader owns the file") << false;
    QTest::newRow("another user owns the file") << true;
}

void tst_ExclusiveRead::read_writerPausedMidWrite_failsWhoeverOwnsFile()
{
    // The competition program may run as another user: then no lease can be
    // had, and a writer paused mid-write leaves a file that looks settled.
    QFETCH(bool, otherOwner);
    if (otherOwner && ::geteuid() != 0)
        QSKIP("needs root to read as a user who does not own the file");
    QTemporaryDir dir;
    QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    const QString path = dir.filePath("Main.txt");
    writeFile(path, "TIME: old\r\n");
    // The reader's watch follows writers from its first read on.
    scb::FileWatch writers(true);
    QCOMPARE(QByteArray::fromStdString(scb::readFileExclusive(path.toStdString(), &writers)),
             QByteArray("TIME: old\r\n"));
    const int writer = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC);
    QVERIFY(writer >= 0);
    std::unique_ptr<AsNobody> reader;
    if (otherOwner) {
        reader = std::make_unique<AsNobody>();
        QVERIFY(reader->ok());
    }

    QCOMPARE(::ftruncate(writer, 0), 0);
    QCOMPARE(::write(writer, "TIME: ne", 8), ssize_t(8));
    scb::ReadFailure reason = scb::ReadFailure::None;
    QCOMPARE(errorOf(path.toStdString(), &reason, &writers), "Cannot open file " + path);
    QCOMPARE(reason, scb::ReadFailure::WriterBusy);

    QCOMPARE(::write(writer, "w\r\n", 3), ssize_t(3));
    QCOMPARE(::close(writer), 0);
    QCOMPARE(QByteArray::fromStdString(scb::readFileExclusive(path.toStdString(), &writers)),
             QByteArray("TIME: new\r\n"));
}

void tst_ExclusiveRead::read_writersOpeningMeanwhile_neverEndsProgram()
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

void tst_ExclusiveRead::readWholeFile_keepsWithinLimit_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("limit");
    QTest::addColumn<scb::OverLimit>("over");
    QTest::addColumn<scb::FileReadStatus>("status");
    QTest::addColumn<int>("kept");

    const auto refuse = scb::OverLimit::Refuse;
    const auto cut = scb::OverLimit::Cut;
    const auto ok = scb::FileReadStatus::Ok;
    QTest::newRow("empty") << 0 << 10 << refuse << ok << 0;
    QTest::newRow("under the limit") << 9 << 10 << refuse << ok << 9;
    QTest::newRow("exactly the limit") << 10 << 10 << refuse << ok << 10;
    QTest::newRow("one past, refused") << 11 << 10 << refuse << scb::FileReadStatus::TooLarge << 0;
    QTest::newRow("one past, cut") << 11 << 10 << cut << ok << 10;
    QTest::newRow("many buffers, exactly the limit") << 300'000 << 300'000 << refuse << ok << 300'000;
    QTest::newRow("many buffers, cut") << 300'000 << 200'000 << cut << ok << 200'000;
}

void tst_ExclusiveRead::readWholeFile_keepsWithinLimit()
{
    QFETCH(int, size);
    QFETCH(int, limit);
    QFETCH(scb::OverLimit, over);
    QFETCH(scb::FileReadStatus, status);
    QFETCH(int, kept);
    QTemporaryDir dir;
    const QString path = dir.filePath("Main.txt");
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>('a' + i % 26);
    writeFile(path, bytes);

    const scb::FileRead read = scb::readWholeFile(path.toStdString(), std::uint64_t(limit), over);
    QCOMPARE(read.status, status);
    QCOMPARE(QByteArray::fromStdString(read.bytes), bytes.left(kept));

    // A file that has grown since its size was taken meets the same limit.
    const scb::UniqueFd fd = scb::openForReading(path.toStdString());
    QVERIFY(bool(fd));
    const scb::FileRead grown = scb::readToEnd(fd.get(), 0, std::uint64_t(limit), over);
    QCOMPARE(grown.status, status);
    QCOMPARE(QByteArray::fromStdString(grown.bytes), bytes.left(kept));
}

QTEST_GUILESS_MAIN(tst_ExclusiveRead)
#include "tst_ExclusiveRead.moc"
