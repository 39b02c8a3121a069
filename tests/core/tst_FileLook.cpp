#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include "core/BoardRows.h"
#include "core/FileLook.h"

using scb::FileSnapshot;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class tst_FileLook : public QObject
{
    Q_OBJECT

private slots:
    void lookAtFile_readsOnlyWhenStampOrFingerprintDiffer_data();
    void lookAtFile_readsOnlyWhenStampOrFingerprintDiffer();
    void lookAtFile_unreadableFile_reportsLoadFailed();
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

QTEST_GUILESS_MAIN(tst_FileLook)
#include "tst_FileLook.moc"
