#include "core/PictureCheck.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using scb::PictureKind;

namespace {

std::string le16(std::uint32_t v)
{
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}

std::string le32(std::uint32_t v)
{
    return le16(v & 0xFFFF) + le16(v >> 16);
}

void poke32(std::string &bytes, std::size_t at, std::uint32_t v)
{
    bytes.replace(at, 4, le32(v));
}

struct Bmp
{
    std::int32_t width = 4;
    std::int32_t height = 3;
    std::uint32_t bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t headerSize = 40;
    std::uint32_t colorsUsed = 0;
    std::uint32_t planes = 1;
    std::optional<std::string> pixelData; // default: zeroed rows of the right size
};

std::uint64_t rowStride(const Bmp &b)
{
    return (std::uint64_t(b.width) * b.bitCount + 31) / 32 * 4;
}

std::string makeBmp(const Bmp &b)
{
    std::string header = le32(b.headerSize);
    if (b.headerSize == 12) {
        header += le16(std::uint32_t(b.width)) + le16(std::uint32_t(b.height)) + le16(b.planes) + le16(b.bitCount);
    } else {
        header += le32(std::uint32_t(b.width)) + le32(std::uint32_t(b.height)) + le16(b.planes) + le16(b.bitCount)
            + le32(b.compression) + le32(0) + le32(2835) + le32(2835) + le32(b.colorsUsed) + le32(0);
        header.resize(b.headerSize, '\0');
    }
    std::string tables;
    if (b.compression == 3 && b.headerSize == 40)
        tables += le32(0xF800) + le32(0x07E0) + le32(0x001F);
    if (b.bitCount <= 8) {
        const std::uint32_t entries = b.colorsUsed ? b.colorsUsed : 1u << b.bitCount;
        for (std::uint32_t i = 0; i < entries; ++i) {
            const std::string entry = {char(i), char(255 - i), char(i / 2), '\0'};
            tables += b.headerSize == 12 ? entry.substr(0, 3) : entry;
        }
    }
    const std::uint64_t absHeight = b.height < 0 ? -std::int64_t(b.height) : b.height;
    const std::string pixels = b.pixelData ? *b.pixelData : std::string(rowStride(b) * absHeight, '\0');
    const std::uint32_t offset = std::uint32_t(14 + header.size() + tables.size());
    return "BM" + le32(std::uint32_t(offset + pixels.size())) + le32(0) + le32(offset) + header + tables + pixels;
}

// A 1-bit AND mask follows the colour bits, and the height counts both.
std::string iconDib(int side)
{
    Bmp b;
    b.width = side;
    b.height = side * 2;
    b.bitCount = 32;
    const std::uint64_t maskStride = (std::uint64_t(side) + 31) / 32 * 4;
    b.pixelData = std::string(rowStride(b) * side + maskStride * side, '\x7f');
    return makeBmp(b).substr(14);
}

const std::string pngIconImage = std::string("\x89PNG\r\n\x1a\n", 8) + std::string("\0\0\0\x0d", 4) + "IHDR"
    + std::string("\0\0\0\x10\0\0\0\x10\x08\x06\0\0\0", 13) + std::string(4, '\0') + "rest of the stream";

std::string makeIco(const std::vector<std::string> &images)
{
    std::string directory = le16(0) + le16(1) + le16(std::uint32_t(images.size()));
    std::string data;
    std::uint32_t offset = std::uint32_t(6 + 16 * images.size());
    for (const std::string &image : images) {
        directory += std::string("\x10\x10\0\0", 4) + le16(1) + le16(32) + le32(std::uint32_t(image.size())) + le32(offset);
        offset += std::uint32_t(image.size());
        data += image;
    }
    return directory + data;
}

std::string makeEmf()
{
    std::string header = le32(1) + le32(108);
    header.resize(40, '\0');
    header += le32(0x464D4520) + le32(0x10000) + le32(108);
    header.resize(108, '\0');
    return header + le32(14) + le32(20) + le32(0) + le32(0) + le32(20); // end-of-file record
}

std::string makeWmf()
{
    return le16(1) + le16(9) + le16(0x0300) + le32(12) + le16(0) + le32(3) + le16(0) + le32(3) + le16(0)
        + le16(0);
}

std::string makeRle8(const std::string &stream, std::int32_t height = 2)
{
    Bmp b;
    b.width = 4;
    b.height = height;
    b.bitCount = 8;
    b.compression = 1;
    b.colorsUsed = 4;
    b.pixelData = stream;
    return makeBmp(b);
}

std::string be16(std::uint32_t v)
{
    return {static_cast<char>((v >> 8) & 0xFF), static_cast<char>(v & 0xFF)};
}

std::string be32(std::uint32_t v)
{
    return be16(v >> 16) + be16(v & 0xFFFF);
}

// The signature and header chunk; the decoder checks what follows.
std::string makePng(std::uint32_t width, std::uint32_t height, int depth = 8, int colour = 2)
{
    return std::string("\x89PNG\r\n\x1a\n", 8) + be32(13) + "IHDR" + be32(width) + be32(height)
        + char(depth) + char(colour) + std::string(3, '\0') + std::string(4, '\0') + "IDAT and the rest";
}

// Start marker, an application segment, the frame header (marker 0xC0:
// baseline, 0xC2: progressive) and the start of the scan.
std::string makeJpeg(std::uint32_t width, std::uint32_t height, int frameMarker = 0xC0)
{
    // Appended piece by piece: GCC 12 warns wrongly about chained + here.
    std::string out("\xFF\xD8\xFF\xE0", 4);
    out += be16(16);
    out.append("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14);
    out += '\xFF';
    out += char(frameMarker);
    out += be16(17);
    out += '\x08';
    out += be16(height);
    out += be16(width);
    out += '\x03';
    for (char id = 1; id <= 3; ++id)
        out.append({id, '\x11', '\0'});
    out.append("\xFF\xDA", 2);
    out += be16(12);
    out.append(10, '\0');
    return out;
}

QByteArray bytes(const std::string &s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

} // namespace

class tst_PictureCheck : public QObject
{
    Q_OBJECT

private slots:
    void checkPictureBytes_judgesPicture_data();
    void checkPictureBytes_judgesPicture();
    void checkPictureBytes_anyTruncatedBitmap_isRefused_data();
    void checkPictureBytes_anyTruncatedBitmap_isRefused();
    void checkPictureBytes_truncatedIcon_isRefused();
    void checkPictureFile_readsRegularFile();
    void checkPictureFile_unusableFile_failsWithoutBytes_data();
    void checkPictureFile_unusableFile_failsWithoutBytes();
};

void tst_PictureCheck::checkPictureBytes_judgesPicture_data()
{
    QTest::addColumn<QByteArray>("fileName");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("kind");

    const int bitmap = int(PictureKind::Bitmap);
    const int icon = int(PictureKind::Icon);
    const int metafile = int(PictureKind::Metafile);
    auto bmp = [](auto change) {
        Bmp b;
        change(b);
        return bytes(makeBmp(b));
    };
    const QByteArray valid = bytes(makeBmp(Bmp{}));

    QTest::newRow("24 bpp") << QByteArray("board.bmp") << valid << true << bitmap;
    QTest::newRow("upper-case extension") << QByteArray("BOARD.BMP") << valid << true << bitmap;
    QTest::newRow("extension of the last path part") << QByteArray("C:\\pics.d\\board.Bmp") << valid << true << bitmap;
    QTest::newRow("png extension") << QByteArray("board.png") << valid << false << bitmap;
    QTest::newRow("no extension") << QByteArray("board") << valid << false << bitmap;
    QTest::newRow("dot only in folder") << QByteArray("pics.bmp/board") << valid << false << bitmap;
    QTest::newRow("bmp then other extension") << QByteArray("board.bmp.txt") << valid << false << bitmap;

    QTest::newRow("8 bpp, full palette") << QByteArray("a.bmp") << bmp([](Bmp &b) { b.bitCount = 8; }) << true << bitmap;
    QTest::newRow("8 bpp, 16 colours used") << QByteArray("a.bmp") << bmp([](Bmp &b) {
        b.bitCount = 8;
        b.colorsUsed = 16;
    }) << true << bitmap;
    QTest::newRow("1 bpp, odd width") << QByteArray("a.bmp") << bmp([](Bmp &b) {
        b.bitCount = 1;
        b.width = 33;
    }) << true << bitmap;
    QTest::newRow("4 bpp") << QByteArray("a.bmp") << bmp([](Bmp &b) { b.bitCount = 4; }) << true << bitmap;
    QTest::newRow("16 bpp") << QByteArray("a.bmp") << bmp([](Bmp &b) { b.bitCount = 16; }) << true << bitmap;
    QTest::newRow("16 bpp bit fields") << QByteArray("a.bmp") << bmp([](Bmp &b) {
        b.bitCount = 16;
        b.compression = 3;
    }) << true << bitmap;
    QTest::newRow("32 bpp, V5 header") << QByteArray("a.bmp") << bmp([](Bmp &b) {
        b.bitCount = 32;
        b.headerSize = 124;
    }) << true << bitmap;
    QTest::newRow("V4 header") << QByteArray("a.bmp") << bmp([](Bmp &b) { b.headerSize = 108; }) << true << bitmap;
    QTest::newRow("core header, 8 bpp") << QByteArray("a.bmp") << bmp([](Bmp &b) {
        b.headerSize = 12;
        b.bitCount = 8;
    }) << true << bitmap;
    QTest::newRow("top-down") << QByteArray("a.bmp") << bmp([](Bmp &b) { b.height = -3; }) << true << bitmap;

    QTest::newRow("starts with XX") << QByteArray("a.bmp") << QByteArray(valid).replace(0, 2, "XX") << false << bitmap;
    QTest::newRow("zero bytes") << QByteArray("a.bmp") << QByteArray() << false << bitmap;
    QTest::newRow("only BM") << QByteArray("a.bmp") << QByteArray("BM") << false << bitmap;
    QTest::newRow("cut in half") << QByteArray("a.bmp") << valid.left(valid.size() / 2) << false << bitmap;
    QTest::newRow("last byte missing") << QByteArray("a.bmp") << valid.chopped(1) << false << bitmap;
    QTest::newRow("trailing bytes") << QByteArray("a.bmp") << valid + "xyz" << true << bitmap;
    QTest::newRow("8 bpp, palette cut short") << QByteArray("a.bmp")
                                              << bmp([](Bmp &b) { b.bitCount = 8; }).left(14 + 40 + 100) << false
                                              << bitmap;

    QTest::newRow("100000 x 100000") << QByteArray("a.bmp") << bmp([](Bmp &b) {
        b.width = 100000;
        b.height = 100000;
        b.pixelData = std::string(64, '\0');
    }) << false << bitmap;
    QTest::newRow("over 100 MB decoded") << QByteArray("a.bmp") << bmp([](Bmp &b) {
        b.width = 5200;
        b.height = 5200;
        b.bitCount = 1;
    }) << false << bitmap;
    QTest::newRow("65536 wide") << QByteArray("a.bmp") << bmp([](Bmp &b) {
        b.width = 65536;
        b.height = 1;
        b.bitCount = 1;
    }) << false << bitmap;
    QTest::newRow("negative width") << QByteArray("a.bmp") << bmp([](Bmp &b) {
        b.width = -4;
        b.pixelData = std::string(36, '\0');
    }) << false << bitmap;
    QTest::newRow("zero width") << QByteArray("a.bmp") << bmp([](Bmp &b) { b.width = 0; }) << false << bitmap;
    QTest::newRow("zero height") << QByteArray("a.bmp") << bmp([](Bmp &b) { b.height = 0; }) << false << bitmap;
    QTest::newRow("most negative height") << QByteArray("a.bmp") << bmp([](Bmp &b) {
        b.height = INT32_MIN;
        b.pixelData = std::string(36, '\0');
    }) << false << bitmap;

    QByteArray pastEnd = valid;
    pastEnd.replace(10, 4, bytes(le32(std::uint32_t(valid.size()))));
    QTest::newRow("pixel offset past end") << QByteArray("a.bmp") << pastEnd << false << bitmap;
    QByteArray intoHeader = valid;
    intoHeader.replace(10, 4, bytes(le32(20)));
    QTest::newRow("pixel offset inside header") << QByteArray("a.bmp") << intoHeader << false << bitmap;
    QByteArray shifted = valid;
    shifted.replace(10, 4, bytes(le32(14 + 40 + 1)));
    QTest::newRow("pixel offset leaves rows short") << QByteArray("a.bmp") << shifted << false << bitmap;

    for (const int bits : {0, 3, 64}) {
        const QByteArray name = "bit count " + QByteArray::number(bits);
        QTest::newRow(name.constData()) << QByteArray("a.bmp") << bmp([bits](Bmp &b) {
            b.bitCount = std::uint32_t(bits);
            b.pixelData = std::string(256, '\0');
        }) << false << bitmap;
    }
    QTest::newRow("two planes") << QByteArray("a.bmp") << bmp([](Bmp &b) { b.planes = 2; }) << false << bitmap;
    QTest::newRow("compression 7") << QByteArray("a.bmp") << bmp([](Bmp &b) { b.compression = 7; }) << false << bitmap;
    QTest::newRow("RLE8 at 24 bpp") << QByteArray("a.bmp") << bmp([](Bmp &b) { b.compression = 1; }) << false << bitmap;
    QTest::newRow("RLE4 at 8 bpp") << QByteArray("a.bmp") << bmp([](Bmp &b) {
        b.bitCount = 8;
        b.compression = 2;
    }) << false << bitmap;
    QTest::newRow("bit fields at 24 bpp") << QByteArray("a.bmp") << bmp([](Bmp &b) { b.compression = 3; }) << false
                                          << bitmap;
    QTest::newRow("header size 64") << QByteArray("a.bmp") << bmp([](Bmp &b) { b.headerSize = 64; }) << false << bitmap;
    QTest::newRow("header larger than file") << QByteArray("a.bmp") << QByteArray(valid).replace(14, 4, bytes(le32(124)))
                                             << false << bitmap;
    QTest::newRow("300 colours at 8 bpp") << QByteArray("a.bmp") << bmp([](Bmp &b) {
        b.bitCount = 8;
        b.colorsUsed = 300;
    }) << false << bitmap;
    QTest::newRow("3 colours at 1 bpp") << QByteArray("a.bmp") << bmp([](Bmp &b) {
        b.bitCount = 1;
        b.colorsUsed = 3;
    }) << false << bitmap;

    const std::string run = std::string("\x04\x01\x00\x00", 4) + std::string("\x00\x04\x01\x02\x03\x00", 6);
    const std::string eob("\x00\x01", 2);
    QTest::newRow("RLE8 stream") << QByteArray("a.bmp") << bytes(makeRle8(run + std::string("\0\0", 2) + eob)) << true
                                 << bitmap;
    QTest::newRow("RLE8 with delta") << QByteArray("a.bmp") << bytes(makeRle8(std::string("\x00\x02\x01\x01", 4) + eob))
                                     << true << bitmap;
    QTest::newRow("RLE8 without end of bitmap") << QByteArray("a.bmp") << bytes(makeRle8(run)) << false << bitmap;
    QTest::newRow("RLE8 literal run past end") << QByteArray("a.bmp") << bytes(makeRle8(std::string("\x00\x20\x01", 3)))
                                               << false << bitmap;
    QTest::newRow("RLE8 cut inside delta") << QByteArray("a.bmp") << bytes(makeRle8(std::string("\x00\x02\x01", 3)))
                                           << false << bitmap;
    QTest::newRow("RLE8 top-down") << QByteArray("a.bmp") << bytes(makeRle8(run + eob, -2)) << false << bitmap;

    QTest::newRow("icon with bitmap image") << QByteArray("a.ico") << bytes(makeIco({iconDib(16)})) << true << icon;
    QTest::newRow("icon with PNG image") << QByteArray("a.ICO") << bytes(makeIco({pngIconImage})) << true << icon;
    QTest::newRow("icon with two images") << QByteArray("a.ico") << bytes(makeIco({iconDib(16), pngIconImage})) << true
                                          << icon;
    QTest::newRow("zero-byte icon") << QByteArray("a.ico") << QByteArray() << false << icon;
    QTest::newRow("icon reserved not zero") << QByteArray("a.ico")
                                            << bytes(makeIco({iconDib(16)})).replace(0, 2, bytes(le16(1))) << false
                                            << icon;
    QTest::newRow("cursor file") << QByteArray("a.ico") << bytes(makeIco({iconDib(16)})).replace(2, 2, bytes(le16(2)))
                                 << false << icon;
    QTest::newRow("icon without images") << QByteArray("a.ico") << bytes(le16(0) + le16(1) + le16(0)) << false << icon;
    QTest::newRow("icon directory cut short") << QByteArray("a.ico") << bytes(makeIco({iconDib(16)})).left(20) << false
                                              << icon;
    std::string farIcon = makeIco({iconDib(16)});
    poke32(farIcon, 6 + 12, 0x7FFFFFFF);
    QTest::newRow("icon image offset past end") << QByteArray("a.ico") << bytes(farIcon) << false << icon;
    std::string longIcon = makeIco({iconDib(16)});
    poke32(longIcon, 6 + 8, 0xFFFFFFFF);
    QTest::newRow("icon image size past end") << QByteArray("a.ico") << bytes(longIcon) << false << icon;
    const std::string dib = iconDib(16);
    QTest::newRow("icon image without mask") << QByteArray("a.ico") << bytes(makeIco({dib.substr(0, dib.size() - 64)}))
                                             << false << icon;
    QTest::newRow("icon PNG header broken") << QByteArray("a.ico") << bytes(makeIco({pngIconImage.substr(0, 20)}))
                                            << false << icon;

    const int png = int(PictureKind::Png);
    QTest::newRow("PNG") << QByteArray("a.png") << bytes(makePng(640, 480)) << true << png;
    QTest::newRow("PNG, 16 bits a channel") << QByteArray("a.PNG") << bytes(makePng(640, 480, 16, 6)) << true << png;
    QTest::newRow("PNG over 100 MB decoded") << QByteArray("a.png") << bytes(makePng(5200, 5200)) << false << png;
    // Fits at 4 bytes a pixel, not at the 8 that 16-bit channels take.
    QTest::newRow("PNG 16 bits over 100 MB decoded") << QByteArray("a.png") << bytes(makePng(4000, 4000, 16))
                                                     << false << png;
    QTest::newRow("PNG zero width") << QByteArray("a.png") << bytes(makePng(0, 480)) << false << png;
    QTest::newRow("PNG unknown colour type") << QByteArray("a.png") << bytes(makePng(640, 480, 8, 5)) << false << png;
    QTest::newRow("PNG header cut short") << QByteArray("a.png") << bytes(makePng(640, 480).substr(0, 30)) << false
                                          << png;
    QTest::newRow("PNG named .jpg") << QByteArray("a.jpg") << bytes(makePng(640, 480)) << false << png;

    const int jpeg = int(PictureKind::Jpeg);
    QTest::newRow("JPEG") << QByteArray("a.jpg") << bytes(makeJpeg(640, 480)) << true << jpeg;
    QTest::newRow("JPEG, .jpeg") << QByteArray("a.JPEG") << bytes(makeJpeg(640, 480)) << true << jpeg;
    QTest::newRow("JPEG, 5000 x 4000") << QByteArray("a.jpg") << bytes(makeJpeg(5000, 4000)) << true << jpeg;
    // The same size progressive keeps its coefficients as well: too much.
    QTest::newRow("JPEG progressive, 5000 x 4000") << QByteArray("a.jpg") << bytes(makeJpeg(5000, 4000, 0xC2))
                                                   << false << jpeg;
    QTest::newRow("JPEG height given later") << QByteArray("a.jpg") << bytes(makeJpeg(640, 0)) << false << jpeg;
    QTest::newRow("JPEG without frame header") << QByteArray("a.jpg")
                                               << bytes(std::string("\xFF\xD8\xFF\xDA", 4) + be16(12) + std::string(10, '\0'))
                                               << false << jpeg;
    QTest::newRow("JPEG segment past the end") << QByteArray("a.jpg") << bytes(makeJpeg(640, 480).substr(0, 30))
                                               << false << jpeg;
    QTest::newRow("JPEG named .png") << QByteArray("a.png") << bytes(makeJpeg(640, 480)) << false << jpeg;

    QTest::newRow("enhanced metafile") << QByteArray("a.emf") << bytes(makeEmf()) << true << metafile;
    QTest::newRow("metafile") << QByteArray("a.WMF") << bytes(makeWmf()) << true << metafile;
    QTest::newRow("placeable metafile") << QByteArray("a.wmf") << bytes(le32(0x9AC6CDD7) + std::string(18, '\0') + makeWmf())
                                        << true << metafile;
    QTest::newRow("zero-byte metafile") << QByteArray("a.emf") << QByteArray() << false << metafile;
    QTest::newRow("bitmap named as metafile") << QByteArray("a.wmf") << valid << false << metafile;
    QTest::newRow("metafile header cut short") << QByteArray("a.emf") << bytes(makeEmf()).left(100) << false
                                               << metafile;
}

void tst_PictureCheck::checkPictureBytes_judgesPicture()
{
    QFETCH(QByteArray, fileName);
    QFETCH(QByteArray, content);
    QFETCH(bool, ok);
    QFETCH(int, kind);

    const scb::PictureCheck check = scb::checkPictureBytes(fileName.toStdString(),
                                                           std::string_view(content.constData(), std::size_t(content.size())));
    QVERIFY2(check.ok == ok, check.reason.c_str());
    if (ok)
        QCOMPARE(int(check.kind), kind);
    else
        QVERIFY(!check.reason.empty());
}

void tst_PictureCheck::checkPictureBytes_anyTruncatedBitmap_isRefused_data()
{
    QTest::addColumn<QByteArray>("content");
    Bmp odd;
    odd.width = 5; // rows padded to four bytes
    odd.bitCount = 4;
    QTest::newRow("4 bpp, padded rows") << bytes(makeBmp(odd));
    Bmp core;
    core.headerSize = 12;
    core.bitCount = 1;
    QTest::newRow("core header") << bytes(makeBmp(core));
    QTest::newRow("RLE8") << bytes(makeRle8(std::string("\x04\x01\x00\x00\x04\x02\x00\x01", 8)));
}

// Every prefix of a good bitmap is a bitmap cut short; none may pass.
void tst_PictureCheck::checkPictureBytes_anyTruncatedBitmap_isRefused()
{
    QFETCH(QByteArray, content);
    const std::string whole(content.constData(), std::size_t(content.size()));
    QVERIFY(scb::checkPictureBytes("a.bmp", whole).ok);
    for (std::size_t length = 0; length < whole.size(); ++length)
        QVERIFY2(!scb::checkPictureBytes("a.bmp", std::string_view(whole).substr(0, length)).ok,
                 QByteArray::number(qulonglong(length)).constData());
}

void tst_PictureCheck::checkPictureBytes_truncatedIcon_isRefused()
{
    const std::string whole = makeIco({iconDib(8)});
    QVERIFY(scb::checkPictureBytes("a.ico", whole).ok);
    for (std::size_t length = 0; length < whole.size(); ++length)
        QVERIFY(!scb::checkPictureBytes("a.ico", std::string_view(whole).substr(0, length)).ok);
}

void tst_PictureCheck::checkPictureFile_readsRegularFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string content = makeBmp(Bmp{});
    const QString path = dir.filePath("board.bmp");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes(content));
    file.close();

    std::string read;
    const scb::PictureCheck check = scb::checkPictureFile(QFile::encodeName(path).toStdString(), &read);
    QVERIFY2(check.ok, check.reason.c_str());
    QCOMPARE(int(check.kind), int(PictureKind::Bitmap));
    QVERIFY(read == content);
    QVERIFY(scb::checkPictureFile(QFile::encodeName(path).toStdString(), nullptr).ok);
}

void tst_PictureCheck::checkPictureFile_unusableFile_failsWithoutBytes_data()
{
    QTest::addColumn<QString>("what");
    QTest::newRow("missing") << "missing";
    QTest::newRow("folder") << "folder";
    QTest::newRow("pipe") << "pipe";
    QTest::newRow("bad bitmap") << "bad";
}

void tst_PictureCheck::checkPictureFile_unusableFile_failsWithoutBytes()
{
    QFETCH(QString, what);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("picture.bmp");
    const QByteArray native = QFile::encodeName(path);
    if (what == "folder") {
        QVERIFY(QDir().mkdir(path));
    } else if (what == "pipe") {
        // Opening a pipe without a writer would block a plain reader forever.
        QCOMPARE(::mkfifo(native.constData(), 0600), 0);
    } else if (what == "bad") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("BM not really");
    }

    std::string read = "left over";
    const scb::PictureCheck check = scb::checkPictureFile(native.toStdString(), &read);
    QVERIFY(!check.ok);
    QVERIFY(read.empty());
}

QTEST_APPLESS_MAIN(tst_PictureCheck)
#include "tst_PictureCheck.moc"
