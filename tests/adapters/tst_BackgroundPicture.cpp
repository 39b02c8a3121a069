#include "adapters/BackgroundPicture.h"
#include "adapters/QtConvert.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdint>

namespace {

QByteArray le16(std::uint32_t v)
{
    QByteArray out;
    out.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
    return out;
}

QByteArray le32(std::uint32_t v)
{
    return le16(v & 0xFFFF) + le16(v >> 16);
}

QByteArray bitmapFile(std::int32_t width, std::int32_t height, std::uint32_t bitCount, std::uint32_t compression,
                      const QByteArray &palette, const QByteArray &pixels)
{
    const QByteArray info = le32(40) + le32(std::uint32_t(width)) + le32(std::uint32_t(height)) + le16(1)
        + le16(bitCount) + le32(compression) + le32(std::uint32_t(pixels.size())) + le32(2835) + le32(2835)
        + le32(std::uint32_t(palette.size() / 4)) + le32(0);
    const std::uint32_t offset = std::uint32_t(14 + info.size() + palette.size());
    return "BM" + le32(std::uint32_t(offset + pixels.size())) + le32(0) + le32(offset) + info + palette + pixels;
}

// 24-bpp bitmap; `rows` lists the picture's rows from the top.
QByteArray bitmap24(const QList<QList<QRgb>> &rows, bool topDown = false)
{
    const int width = int(rows.first().size());
    const int stride = (width * 3 + 3) / 4 * 4;
    QByteArray pixels;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QList<QRgb> &row = rows.at(topDown ? i : rows.size() - 1 - i);
        QByteArray line;
        for (const QRgb c : row)
            line.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c)));
        line.resize(stride, '\0');
        pixels += line;
    }
    const int height = int(rows.size());
    return bitmapFile(width, topDown ? -height : height, 24, 0, {}, pixels);
}

QByteArray iconFile(const QByteArray &image)
{
    return le16(0) + le16(1) + le16(1) + QByteArray("\x02\x02\0\0", 4) + le16(1) + le16(32)
        + le32(std::uint32_t(image.size())) + le32(6 + 16) + image;
}

const QList<QList<QRgb>> sample = {
    {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)},
    {qRgb(10, 20, 30), qRgb(40, 50, 60), qRgb(70, 80, 90), qRgb(100, 110, 120)},
    {qRgb(0, 0, 0), qRgb(255, 255, 0), qRgb(0, 255, 255), qRgb(255, 0, 255)},
};

// The rows in another format, as the toolkit writes it.
QByteArray encoded(const QList<QList<QRgb>> &rows, const char *format)
{
    QImage image(int(rows.first().size()), int(rows.size()), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, rows[y][x]);
    }
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return out;
}

} // namespace

class tst_BackgroundPicture : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void loadPictureFile_bitmap_hasItsPixels_data();
    void loadPictureFile_bitmap_hasItsPixels();
    void loadPictureFile_runLengthGaps_showFirstPaletteColour();
    void loadPictureFile_icon_decodes_data();
    void loadPictureFile_icon_decodes();
    void loadPictureFile_metafile_recognisedWithoutImage();
    void loadPictureFile_badFile_givesNothing_data();
    void loadPictureFile_badFile_givesNothing();
    void backgroundLoadErrorText_isMessageThenPath();

private:
    QString write(const QString &name, const QByteArray &content);

    std::optional<QTemporaryDir> m_dir;
};

void tst_BackgroundPicture::init()
{
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
}

QString tst_BackgroundPicture::write(const QString &name, const QByteArray &content)
{
    const QString path = m_dir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write test file");
    return path;
}

void tst_BackgroundPicture::loadPictureFile_bitmap_hasItsPixels_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("exact"); // false: a lossy format, only the size is sure
    const int bitmap = int(scb::PictureKind::Bitmap);
    QTest::newRow("bottom-up") << "board.bmp" << bitmap24(sample) << bitmap << true;
    QTest::newRow("top-down") << "board.bmp" << bitmap24(sample, true) << bitmap << true;
    QTest::newRow("upper-case extension") << "BOARD.BMP" << bitmap24(sample) << bitmap << true;
    QTest::newRow("name outside ASCII") << QStringLiteral("Anzeigetafel-\u00dc\u20ac.bmp") << bitmap24(sample) << bitmap
                                        << true;
    QTest::newRow("PNG") << "board.png" << encoded(sample, "PNG") << int(scb::PictureKind::Png) << true;
    QTest::newRow("JPEG") << "board.jpg" << encoded(sample, "JPEG") << int(scb::PictureKind::Jpeg) << false;
    QTest::newRow("JPEG, long extension") << "board.JPEG" << encoded(sample, "JPEG") << int(scb::PictureKind::Jpeg)
                                          << false;
}

void tst_BackgroundPicture::loadPictureFile_bitmap_hasItsPixels()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(int, kind);
    QFETCH(bool, exact);

    const auto picture = loadPictureFile(toBytes(write(name, content))).picture;
    QVERIFY(picture.has_value());
    QCOMPARE(int(picture->kind), kind);
    QCOMPARE(picture->image.size(), QSize(4, 3));
    QCOMPARE(picture->image.format(), QImage::Format_RGB32);
    for (int y = 0; exact && y < 3; ++y) {
        for (int x = 0; x < 4; ++x)
            QCOMPARE(QColor(picture->image.pixel(x, y)), QColor(sample[y][x]));
    }
}

// The stream paints two pixels of the bottom row, then ends that line and
// the picture early; everything skipped must come out as palette entry 0.
void tst_BackgroundPicture::loadPictureFile_runLengthGaps_showFirstPaletteColour()
{
    const QByteArray palette = QByteArray("\x30\x20\x10\0", 4) + QByteArray("\0\xff\0\0", 4);
    const QByteArray stream("\x02\x01\x00\x00\x00\x01", 6);
    const auto picture = loadPictureFile(toBytes(write("rle.bmp", bitmapFile(4, 2, 8, 1, palette, stream)))).picture;
    QVERIFY(picture.has_value());
    QCOMPARE(picture->image.size(), QSize(4, 2));
    const QColor first(0x10, 0x20, 0x30);
    const QColor green(0, 255, 0);
    const QList<QList<QColor>> expected = {{first, first, first, first}, {green, green, first, first}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x)
            QCOMPARE(QColor(picture->image.pixel(x, y)), expected[y][x]);
    }
}

void tst_BackgroundPicture::loadPictureFile_icon_decodes_data()
{
    QTest::addColumn<QByteArray>("content");

    // 2 x 2, 32 bpp, rows bottom-up, then an all-zero (opaque) AND mask.
    QByteArray dib = le32(40) + le32(2) + le32(4) + le16(1) + le16(32) + le32(0) + le32(0) + le32(0) + le32(0)
        + le32(0) + le32(0);
    for (int i = 0; i < 4; ++i)
        dib += QByteArray("\x00\x00\xff\xff", 4); // opaque red, stored as BGRA
    dib += QByteArray(8, '\0');
    QTest::newRow("bitmap image") << iconFile(dib);

    QImage red(2, 2, QImage::Format_ARGB32);
    red.fill(qRgba(255, 0, 0, 255));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    red.save(&buffer, "PNG");
    QTest::newRow("PNG image") << iconFile(png);
}

void tst_BackgroundPicture::loadPictureFile_icon_decodes()
{
    QFETCH(QByteArray, content);
    const auto picture = loadPictureFile(toBytes(write("board.ico", content))).picture;
    QVERIFY(picture.has_value());
    QCOMPARE(picture->kind, scb::PictureKind::Icon);
    QCOMPARE(picture->image.size(), QSize(2, 2));
    QVERIFY(picture->image.format() == QImage::Format_RGB32
            || picture->image.format() == QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(QColor(picture->image.pixel(1, 1)), QColor(255, 0, 0));
}

void tst_BackgroundPicture::loadPictureFile_metafile_recognisedWithoutImage()
{
    const QByteArray wmf = le16(1) + le16(9) + le16(0x0300) + le32(12) + le16(0) + le32(3) + le16(0) + le32(3)
        + le16(0);
    const auto picture = loadPictureFile(toBytes(write("board.wmf", wmf))).picture;
    QVERIFY(picture.has_value());
    QCOMPARE(picture->kind, scb::PictureKind::Metafile);
    QVERIFY(picture->image.isNull());
}

void tst_BackgroundPicture::loadPictureFile_badFile_givesNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");

    const QByteArray valid = bitmap24(sample);
    QByteArray pastEnd = valid;
    pastEnd.replace(10, 4, le32(std::uint32_t(valid.size())));
    QByteArray huge = valid;
    huge.replace(18, 8, le32(100000) + le32(100000));
    QByteArray negativeWidth = valid;
    negativeWidth.replace(18, 4, le32(std::uint32_t(-4)));

    QTest::newRow("missing file") << "missing.bmp" << QByteArray();
    QTest::newRow("folder") << "folder.bmp" << QByteArray();
    QTest::newRow("empty path") << QString() << QByteArray();
    QTest::newRow("bitmap named .png") << "board.png" << valid;
    QTest::newRow("PNG named .jpg") << "board.jpg" << encoded(sample, "PNG");
    QByteArray pngCut = encoded(sample, "PNG");
    pngCut.truncate(40); // the header is whole, the picture is not there
    QTest::newRow("PNG cut after its header") << "board.png" << pngCut;
    QTest::newRow("starts with XX") << "board.bmp" << QByteArray(valid).replace(0, 2, "XX");
    QTest::newRow("zero bytes") << "board.bmp" << QByteArray();
    QTest::newRow("cut in half") << "board.bmp" << valid.left(valid.size() / 2);
    QTest::newRow("last byte missing") << "board.bmp" << valid.chopped(1);
    QTest::newRow("100000 x 100000") << "board.bmp" << huge;
    QTest::newRow("negative width") << "board.bmp" << negativeWidth;
    QTest::newRow("pixel offset past end") << "board.bmp" << pastEnd;
    QTest::newRow("zero-byte icon") << "board.ico" << QByteArray();
    QTest::newRow("zero-byte metafile") << "board.emf" << QByteArray();
}

void tst_BackgroundPicture::loadPictureFile_badFile_givesNothing()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);

    QString path;
    if (name == "missing.bmp") {
        path = m_dir->filePath(name);
    } else if (name == "folder.bmp") {
        path = m_dir->filePath(name);
        QVERIFY(QDir().mkdir(path));
    } else if (!name.isEmpty()) {
        path = write(name, content);
    }
    QVERIFY(!loadPictureFile(toBytes(path)).picture.has_value());
}

void tst_BackgroundPicture::backgroundLoadErrorText_isMessageThenPath()
{
    const QString text = backgroundLoadErrorText(QStringLiteral("C:\\Pictures\\board.bmp"));
    QVERIFY(text.startsWith(QStringLiteral("Could not load background bitmap image\nC:\\Pictures\\board.bmp\n")));
    // It names every kind of file that loads.
    for (const char *extension : {".bmp", ".png", ".jpg", ".jpeg", ".ico", ".emf", ".wmf"})
        QVERIFY2(text.contains(QLatin1String(extension)), extension);
    QVERIFY(backgroundLoadErrorText(QString()).startsWith(QStringLiteral("Could not load background bitmap image\n\n")));
}

QTEST_MAIN(tst_BackgroundPicture)
#include "tst_BackgroundPicture.moc"
