#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>

#include "core/FileStamp.h"

namespace {

std::tm makeLocal(int year, int month, int day, int hour, int minute, int second)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return t;
}

bool setMtime(const QString &path, std::time_t seconds, long nanoseconds)
{
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

QString makeFile(const QTemporaryDir &dir, const QByteArray &bytes = "x")
{
    const QString path = dir.filePath("Main.txt");
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
    return path;
}

} // namespace

class tst_FileStamp : public QObject
{
    Q_OBJECT

private slots:
    void packDosDateTime_packsFields_data();
    void packDosDateTime_packsFields();
    void fileAge_isLocalWriteTimeInTwoSecondSteps_data();
    void fileAge_isLocalWriteTimeInTwoSecondSteps();
    void fileAge_missingOrDirectory_isMinusOne_data();
    void fileAge_missingOrDirectory_isMinusOne();
    void fingerprint_tellsApartRewritesInsideOneStep();
};

void tst_FileStamp::packDosDateTime_packsFields_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::addColumn<int>("hour");
    QTest::addColumn<int>("minute");
    QTest::addColumn<int>("second");
    QTest::addColumn<quint32>("packed");

    // date: (year-1980)<<9 | month<<5 | day; time: hour<<11 | minute<<5 | second/2
    QTest::newRow("2024-03-15 14:07:33") << 2024 << 3 << 15 << 14 << 7 << 33 << quint32(0x586F70F0);
    QTest::newRow("1980-01-01 00:00:00") << 1980 << 1 << 1 << 0 << 0 << 0 << quint32(0x00210000);
    QTest::newRow("2107-12-31 23:59:59") << 2107 << 12 << 31 << 23 << 59 << 59 << quint32(0xFF9FBF7D);
    // Out of range still reads as an existing file, never as -1.
    QTest::newRow("1970 pinned to 1980") << 1970 << 1 << 1 << 0 << 0 << 0 << quint32(0x00210000);
}

void tst_FileStamp::packDosDateTime_packsFields()
{
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    QFETCH(int, hour);
    QFETCH(int, minute);
    QFETCH(int, second);
    QFETCH(quint32, packed);
    QCOMPARE(static_cast<quint32>(scb::packDosDateTime(makeLocal(year, month, day, hour, minute, second))),
             packed);
}

void tst_FileStamp::fileAge_isLocalWriteTimeInTwoSecondSteps_data()
{
    QTest::addColumn<int>("secondA");
    QTest::addColumn<long>("nanoA");
    QTest::addColumn<int>("secondB");
    QTest::addColumn<long>("nanoB");
    QTest::addColumn<bool>("sameStamp");

    QTest::newRow("32.1 and 33.9") << 32 << 100'000'000L << 33 << 900'000'000L << true;
    QTest::newRow("32.0 and 32.5") << 32 << 0L << 32 << 500'000'000L << true;
    QTest::newRow("33.9 and 34.0") << 33 << 900'000'000L << 34 << 0L << false;
}

void tst_FileStamp::fileAge_isLocalWriteTimeInTwoSecondSteps()
{
    QFETCH(int, secondA);
    QFETCH(long, nanoA);
    QFETCH(int, secondB);
    QFETCH(long, nanoB);
    QFETCH(bool, sameStamp);

    QTemporaryDir dir;
    const QString path = makeFile(dir);
    std::tm local = makeLocal(2024, 3, 15, 14, 7, secondA);
    const std::time_t a = std::mktime(&local);
    local = makeLocal(2024, 3, 15, 14, 7, secondB);
    const std::time_t b = std::mktime(&local);

    QVERIFY(setMtime(path, a, nanoA));
    const std::int32_t stampA = scb::fileAge(path.toStdString());
    QCOMPARE(stampA, scb::packDosDateTime(makeLocal(2024, 3, 15, 14, 7, secondA)));
    QVERIFY(setMtime(path, b, nanoB));
    const std::int32_t stampB = scb::fileAge(path.toStdString());
    QCOMPARE(stampA == stampB, sameStamp);
}

void tst_FileStamp::fileAge_missingOrDirectory_isMinusOne_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing") << "absent.txt";
    QTest::newRow("directory") << "sub";
    QTest::newRow("empty path") << "";
}

void tst_FileStamp::fileAge_missingOrDirectory_isMinusOne()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    const std::string path = name.isEmpty() ? std::string() : dir.filePath(name).toStdString();
    QCOMPARE(scb::fileAge(path), -1);
    QCOMPARE(scb::stampAndFingerprint(path).print, scb::FileFingerprint{});
    QCOMPARE(scb::stampAndFingerprint(path).print.size, -1);
}

void tst_FileStamp::fingerprint_tellsApartRewritesInsideOneStep()
{
    QTemporaryDir dir;
    const QString path = makeFile(dir, "AAAA");
    std::tm local = makeLocal(2024, 3, 15, 14, 7, 32);
    const std::time_t t = std::mktime(&local);
    QVERIFY(setMtime(path, t, 100'000'000));
    const scb::FileFingerprint first = scb::stampAndFingerprint(path.toStdString()).print;
    QCOMPARE(first.size, 4);
    QVERIFY(setMtime(path, t, 600'000'000));
    const scb::FileFingerprint second = scb::stampAndFingerprint(path.toStdString()).print;
    QCOMPARE(scb::fileAge(path.toStdString()), scb::packDosDateTime(makeLocal(2024, 3, 15, 14, 7, 32)));
    QVERIFY(first != second);
    QCOMPARE(second.mtimeNs - first.mtimeNs, 500'000'000);
}

QTEST_APPLESS_MAIN(tst_FileStamp)
#include "tst_FileStamp.moc"
