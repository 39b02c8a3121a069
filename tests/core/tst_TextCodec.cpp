// 8-bit text of unknown encoding: shown as UTF-8 when it is, as Windows-1252
// otherwise; file names survive the trip through a text field byte for byte.

#include "core/TextCodec.h"

#include <QTest>

class tst_TextCodec : public QObject
{
    Q_OBJECT

private slots:
    void displayUtf8_data();
    void displayUtf8();
    void windows1252_roundTrip();
    void pathBytes_roundTripExactly_data();
    void pathBytes_roundTripExactly();
    void pathBytes_validUtf8IsPlainText();
};

void tst_TextCodec::displayUtf8_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");

    QTest::newRow("ASCII") << QByteArray("RUSSIA") << QStringLiteral("RUSSIA");
    QTest::newRow("valid UTF-8 kept") << QByteArray("M\xC3\xA4in") << QString::fromUtf8("M\u00E4in");
    QTest::newRow("1252 letters") << QByteArray("\xC4\xD6") << QString::fromUtf8("\u00C4\u00D6");
    QTest::newRow("1252 euro and quotes") << QByteArray("\x80 \x93x\x94") << QString::fromUtf8("\u20AC \u201Cx\u201D");
    QTest::newRow("unassigned 1252 code") << QByteArray("a\x81" "b") << QString::fromUtf8("a\uFFFDb");
    QTest::newRow("overlong UTF-8 is not UTF-8") << QByteArray("\xC0\xAF") << QString::fromUtf8("\u00C0\u00AF");
    QTest::newRow("surrogate in UTF-8 is not UTF-8") << QByteArray("\xED\xA0\x80")
                                                     << QString::fromUtf8("\u00ED\u00A0\u20AC");
    QTest::newRow("cut sequence") << QByteArray("ab\xE2\x82") << QString::fromUtf8("ab\u00E2\u201A");
}

void tst_TextCodec::displayUtf8()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    QCOMPARE(QString::fromStdString(scb::displayUtf8(bytes.toStdString())), shown);
}

void tst_TextCodec::windows1252_roundTrip()
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        if (b < 0x80 || b >= 0xA0 || (b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D))
            all += static_cast<char>(b);
    QCOMPARE(scb::utf8ToWindows1252(scb::windows1252ToUtf8(all)), all);
    QCOMPARE(scb::utf8ToWindows1252("\xE6\xB8\xAC"), std::string("?")); // no such letter in 1252
}

void tst_TextCodec::pathBytes_roundTripExactly_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("plain") << QByteArray("/srv/venue/Main.txt");
    QTest::newRow("UTF-8") << QByteArray("/srv/R\xC3\xA9sultats/\xF0\x9F\x8F\x8A.txt");
    QTest::newRow("1252 bytes") << QByteArray("/srv/Ergebnisse \xE4\xF6\xFC/Main \xDF.txt");
    QTest::newRow("stray continuation bytes") << QByteArray("\x80\x81\xBF");
    QTest::newRow("cut sequence at end") << QByteArray("abc\xE2\x82");
    QTest::newRow("every byte") << [] {
        QByteArray b;
        for (int i = 1; i < 256; ++i)
            b += char(i);
        return b;
    }();
}

void tst_TextCodec::pathBytes_roundTripExactly()
{
    QFETCH(QByteArray, bytes);
    const std::string original = bytes.toStdString();
    QCOMPARE(scb::utf16ToPathBytes(scb::pathBytesToUtf16(original)), original);
}

void tst_TextCodec::pathBytes_validUtf8IsPlainText()
{
    const std::u16string text = scb::pathBytesToUtf16("M\xC3\xA4in \xF0\x9F\x8F\x8A");
    QCOMPARE(QString::fromUtf16(text.data(), qsizetype(text.size())), QString::fromUtf8("M\u00E4in \U0001F3CA"));
    const std::u16string escaped = scb::pathBytesToUtf16("\xE4");
    QCOMPARE(escaped.size(), std::size_t(1));
    QCOMPARE(int(escaped[0]), 0xDCE4);
}

QTEST_APPLESS_MAIN(tst_TextCodec)
#include "tst_TextCodec.moc"
