// Malformed background pictures chosen through the "Background Image"
// command: each gives the load-failure message and forgets the path, never
// crashes, and none of them makes the process allocate a picture's worth of
// memory it claims but does not hold.

#include "adapters/BackgroundPicture.h"
#include "FaultKit.h"

#include <QtEndian>

namespace {

QByteArray le16(quint32 v)
{
    QByteArray b(2, '\0');
    qToLittleEndian<quint16>(quint16(v), b.data());
    return b;
}

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian<quint32>(v, b.data());
    return b;
}

struct Bmp
{
    qint32 width = 4;
    qint32 height = 3;
    quint32 bitCount = 24;
    quint32 compression = 0;
    quint32 headerSize = 40;
    quint32 colorsUsed = 0;
    qint64 pixelOffset = -1; // -1: right after the tables
    qint64 pixelBytes = -1;  // -1: exactly the rows the header promises
    QByteArray pixels;       // used when not empty
};

QByteArray makeBmp(const Bmp &b)
{
    QByteArray header = le32(b.headerSize);
    if (b.headerSize == 12) {
        header += le16(quint32(b.width)) + le16(quint32(b.height)) + le16(1) + le16(b.bitCount);
    } else {
        header += le32(quint32(b.width)) + le32(quint32(b.height)) + le16(1) + le16(b.bitCount) + le32(b.compression)
            + le32(0) + le32(2835) + le32(2835) + le32(b.colorsUsed) + le32(0);
        header.resize(b.headerSize, '\0');
    }
    QByteArray tables;
    if (b.bitCount <= 8 && b.bitCount > 0) {
        // A claimed palette larger than 8 bits allow is written only in part.
        const quint32 entries = qMin<quint32>(b.colorsUsed ? b.colorsUsed : 1u << b.bitCount, 256);
        tables = QByteArray(qsizetype(entries) * (b.headerSize == 12 ? 3 : 4), '\x40');
    }
    QByteArray pixels = b.pixels;
    if (pixels.isEmpty()) {
        const qint64 stride = (qint64(qAbs(b.width)) * b.bitCount + 31) / 32 * 4;
        const qint64 rows = qAbs(qint64(b.height));
        const qint64 size = b.pixelBytes >= 0 ? b.pixelBytes : qMin<qint64>(stride * rows, 1 << 20);
        pixels = QByteArray(size, '\x55');
    }
    const qint64 natural = 14 + header.size() + tables.size();
    const quint32 offset = quint32(b.pixelOffset >= 0 ? b.pixelOffset : natural);
    return "BM" + le32(quint32(natural + pixels.size())) + le32(0) + le32(offset) + header + tables + pixels;
}

QByteArray be32(quint32 v)
{
    QByteArray b(4, '\0');
    qToBigEndian<quint32>(v, b.data());
    return b;
}

// A PNG's signature and header chunk with no picture behind them.
QByteArray pngHeader(quint32 width, quint32 height)
{
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + be32(13) + "IHDR" + be32(width) + be32(height)
        + QByteArray("\x08\x06\0\0\0", 5) + be32(0) + QByteArray(64, '\x5a');
}

// A JPEG's markers up to a progressive frame header, then a little scan.
QByteArray jpegHeader(quint16 width, quint16 height)
{
    QByteArray frame("\xFF\xC2\0\x11\x08", 5);
    frame += char(height >> 8);
    frame += char(height & 0xFF);
    frame += char(width >> 8);
    frame += char(width & 0xFF);
    frame += QByteArray("\x03\x01\x11\0\x02\x11\0\x03\x11\0", 10);
    return QByteArray("\xFF\xD8", 2) + frame + QByteArray("\xFF\xDA\0\x0c", 4) + QByteArray(64, '\x5a');
}

Bmp bmp(void (*change)(Bmp &))
{
    Bmp b;
    change(b);
    return b;
}

} // namespace

class tst_PictureFaults : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { m_tally.rowDone(); }
    void cleanupTestCase() { m_tally.report(); }

    void soundBitmap_loads();
    void brokenPicture_showsMessageAndForgetsPath_data();
    void brokenPicture_showsMessageAndForgetsPath();
    void nonFile_showsMessageWithoutBlocking_data();
    void nonFile_showsMessageWithoutBlocking();

private:
    FaultTally m_tally{"pictures"};
};

void tst_PictureFaults::soundBitmap_loads()
{
    // The control case: the same generator makes a picture that does load,
    // so the failures below are the faults, not the generator.
    m_tally.tried();
    WindowFixture w;
    w.start();
    w.writeFile("good.bmp", makeBmp(Bmp{}));
    w.dialogs->pictures.push_back(w.path("good.bmp"));
    QVERIFY(w.call("ButtonBackgroundImageClick"));
    QCOMPARE(w.dialogs->messages, QStringList());
    QVERIFY(w.form->state().BackgroundLoaded);
    QCOMPARE(w.grid()->picture().size(), QSize(4, 3));
}

void tst_PictureFaults::brokenPicture_showsMessageAndForgetsPath_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("negative width") << "a.bmp" << makeBmp(bmp([](Bmp &b) { b.width = -4; }));
    QTest::newRow("most negative height") << "a.bmp" << makeBmp(bmp([](Bmp &b) { b.height = INT32_MIN; b.pixelBytes = 64; }));
    QTest::newRow("zero width") << "a.bmp" << makeBmp(bmp([](Bmp &b) { b.width = 0; }));
    QTest::newRow("zero height") << "a.bmp" << makeBmp(bmp([](Bmp &b) { b.height = 0; }));
    QTest::newRow("huge sides, few bytes")
        << "a.bmp" << makeBmp(bmp([](Bmp &b) { b.width = 0x7FFFFFFF; b.height = 0x7FFFFFFF; b.pixelBytes = 64; }));
    QTest::newRow("60000 x 60000, few bytes")
        << "a.bmp" << makeBmp(bmp([](Bmp &b) { b.width = 60000; b.height = 60000; b.pixelBytes = 4096; }));
    QTest::newRow("core header 32767 x 32767")
        << "a.bmp" << makeBmp(bmp([](Bmp &b) { b.headerSize = 12; b.width = 32767; b.height = 32767; b.pixelBytes = 16; }));
    QTest::newRow("pixel offset past the end")
        << "a.bmp" << makeBmp(bmp([](Bmp &b) { b.pixelOffset = 0x7FFFFFF0; }));
    QTest::newRow("pixel offset at 4 GB") << "a.bmp" << makeBmp(bmp([](Bmp &b) { b.pixelOffset = 0xFFFFFFFF; }));
    QTest::newRow("pixel offset inside the header") << "a.bmp" << makeBmp(bmp([](Bmp &b) { b.pixelOffset = 20; }));
    QTest::newRow("rows cut short by one byte") << "a.bmp" << makeBmp(bmp([](Bmp &b) { b.pixelBytes = 4 * 3 * 3 - 1; }));
    QTest::newRow("bit count 0") << "a.bmp" << makeBmp(bmp([](Bmp &b) { b.bitCount = 0; b.pixelBytes = 64; }));
    QTest::newRow("bit count 3") << "a.bmp" << makeBmp(bmp([](Bmp &b) { b.bitCount = 3; b.pixelBytes = 64; }));
    QTest::newRow("bit count 64") << "a.bmp" << makeBmp(bmp([](Bmp &b) { b.bitCount = 64; }));
    QTest::newRow("bit count 65535") << "a.bmp" << makeBmp(bmp([](Bmp &b) { b.bitCount = 65535; b.pixelBytes = 64; }));
    QTest::newRow("palette larger than 8 bits allow")
        << "a.bmp" << makeBmp(bmp([](Bmp &b) { b.bitCount = 8; b.colorsUsed = 0x40000000; b.pixelBytes = 64; }));
    QTest::newRow("unknown compression 7") << "a.bmp" << makeBmp(bmp([](Bmp &b) { b.compression = 7; }));
    QTest::newRow("JPEG compression") << "a.bmp" << makeBmp(bmp([](Bmp &b) { b.compression = 4; }));
    QTest::newRow("RLE8 on 24 bits") << "a.bmp" << makeBmp(bmp([](Bmp &b) { b.compression = 1; }));
    QTest::newRow("RLE8 without end of bitmap")
        << "a.bmp" << makeBmp(bmp([](Bmp &b) { b.bitCount = 8; b.compression = 1; b.pixels = QByteArray("\x04\x01\x00\x00", 4); }));
    QTest::newRow("RLE4 literal past the end")
        << "a.bmp" << makeBmp(bmp([](Bmp &b) { b.bitCount = 4; b.compression = 2; b.pixels = QByteArray("\x00\xFF\x12", 3); }));
    QTest::newRow("RLE8 stored top-down")
        << "a.bmp" << makeBmp(bmp([](Bmp &b) { b.bitCount = 8; b.compression = 1; b.height = -3;
                                               b.pixels = QByteArray("\x00\x01", 2); }));
    QTest::newRow("bit fields on 24 bits") << "a.bmp" << makeBmp(bmp([](Bmp &b) { b.compression = 3; }));
    QTest::newRow("unknown header size") << "a.bmp" << makeBmp(bmp([](Bmp &b) { b.headerSize = 64; }));
    QTest::newRow("header size 4 GB") << "a.bmp" << makeBmp(bmp([](Bmp &b) { b.headerSize = 40; })).replace(14, 4, le32(0xFFFFFFFF));
    QTest::newRow("file header only") << "a.bmp" << makeBmp(Bmp{}).left(14);
    QTest::newRow("no BM") << "a.bmp" << QByteArray("MB") + makeBmp(Bmp{}).mid(2);
    QTest::newRow("zero bytes .bmp") << "a.bmp" << QByteArray();
    QTest::newRow("zero bytes .ico") << "a.ico" << QByteArray();
    QTest::newRow("zero bytes .emf") << "a.emf" << QByteArray();
    QTest::newRow("zero bytes .WMF") << "a.WMF" << QByteArray();
    QTest::newRow("icon with 65535 entries, 6 bytes") << "a.ico" << le16(0) + le16(1) + le16(65535);
    QTest::newRow("icon entry past the end")
        << "a.ico" << le16(0) + le16(1) + le16(1) + QByteArray(8, '\0') + le32(40) + le32(0xFFFFFFF0);
    QTest::newRow("icon image huge")
        << "a.ico" << le16(0) + le16(1) + le16(1) + QByteArray(8, '\0') + le32(40) + le32(22)
               + makeBmp(bmp([](Bmp &b) { b.width = 60000; b.height = 120000; })).mid(14, 40);
    QTest::newRow("bitmap bytes named .png") << "a.png" << makeBmp(Bmp{});
    QTest::newRow("PNG header 60000 x 60000, few bytes") << "a.png" << pngHeader(60000, 60000);
    QTest::newRow("PNG header 8 x 8, no picture data") << "a.png" << pngHeader(8, 8);
    QTest::newRow("JPEG header 65535 x 65535, few bytes") << "a.jpg" << jpegHeader(65535, 65535);
    QTest::newRow("no extension") << "bitmap" << makeBmp(Bmp{});
    QTest::newRow("random bytes") << "a.bmp" << "BM" + QByteArray(1000, '\xA5');
}

void tst_PictureFaults::brokenPicture_showsMessageAndForgetsPath()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    m_tally.tried();
    WindowFixture w;
    w.start();
    // A sound picture first: a failed load must leave it in place.
    w.writeFile("good.bmp", makeBmp(Bmp{}));
    w.dialogs->pictures.push_back(w.path("good.bmp"));
    QVERIFY(w.call("ButtonBackgroundImageClick"));
    QVERIFY(w.dialogs->messages.isEmpty());
    const QImage before = w.grid()->picture();

    w.writeFile(name, bytes);
    const long peakBefore = peakRssKb();
    w.dialogs->pictures.push_back(w.path(name));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(w.call("ButtonBackgroundImageClick"));
    QVERIFY2(withinStallLimit(clock.elapsed()), "loading the picture stalled the interface");
    const long grownKb = peakRssKb() - peakBefore;
    QVERIFY2(grownKb < 100 * 1024, qPrintable(QStringLiteral("peak memory grew by %1 kB").arg(grownKb)));

    QCOMPARE(w.dialogs->messages,
             QStringList{backgroundLoadErrorText(w.path(name))});
    QVERIFY(w.form->state().Choices.Look.BackgroundImagePath.empty());
    QCOMPARE(w.grid()->picture(), before);
    // The scoreboard still paints.
    w.tick();
    (void)w.grid()->grab();
}

void tst_PictureFaults::nonFile_showsMessageWithoutBlocking_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO named .bmp") << "fifo";
    QTest::newRow("link to /dev/zero named .bmp") << "zero";
    QTest::newRow("folder named .bmp") << "folder";
}

void tst_PictureFaults::nonFile_showsMessageWithoutBlocking()
{
    QFETCH(QString, kind);
    m_tally.tried();
    WindowFixture w;
    w.start();
    const QString path = w.path("picture.bmp");
    if (kind == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    else if (kind == "zero")
        QVERIFY(QFile::link("/dev/zero", path));
    else
        QVERIFY(QDir().mkdir(path));
    const long peakBefore = peakRssKb();
    w.dialogs->pictures.push_back(path);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(w.call("ButtonBackgroundImageClick"));
    QVERIFY2(withinStallLimit(clock.elapsed()), "loading the picture stalled the interface");
    QVERIFY(peakRssKb() - peakBefore < 100 * 1024);
    if (kind == "folder") {
        // A folder is no file at all: nothing to load, nothing to report.
        QVERIFY(!w.form->state().BackgroundLoaded);
        return;
    }
    QCOMPARE(w.dialogs->messages, QStringList{backgroundLoadErrorText(path)});
    QVERIFY(w.form->state().Choices.Look.BackgroundImagePath.empty());
}

SCB_WINDOW_TEST_MAIN(tst_PictureFaults)
#include "tst_PictureFaults.moc"
