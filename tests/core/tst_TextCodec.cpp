// 8-bit text of unknown encoding: each line shown as UTF-8 when it is, as
// Windows-1252 otherwise, and cut to what a row keeps; edits go back into the
// lines' own encodings; file names survive the trip through a text field byte
// for byte.

#include "core/TextCodec.h"

#include <QTest>

class tst_TextCodec : public QObject
{
    Q_OBJECT

private slots:
    void decodeLine_data();
    void decodeLine();
    void rowText_cutsAtCharacterBoundary_data();
    void rowText_cutsAtCharacterBoundary();
    void encodeEditedLines_keepsUntouchedBytes_data();
    void encodeEditedLines_keepsUntouchedBytes();
    void windows1252_roundTrip();
    void pathBytes_roundTripExactly_data();
    void pathBytes_roundTripExactly();
    void pathBytes_validUtf8IsPlainText();
};

void tst_TextCodec::decodeLine_data()
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

void tst_TextCodec::decodeLine()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    QCOMPARE(QString::fromStdString(scb::decodeLine(bytes.toStdString())), shown);
}

void tst_TextCodec::rowText_cutsAtCharacterBoundary_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");

    const int max = int(scb::MaxRowChars);
    const QByteArray xs(max - 1, 'x');
    const QString sx(max - 1, u'x');
    QTest::newRow("short line whole") << QByteArray("M\xC3\xBCller") << QString::fromUtf8("M\u00FCller");
    QTest::newRow("exactly the limit") << xs + 'y' << sx + u'y';
    QTest::newRow("ASCII past the limit") << xs + "yz" << sx + u'y';
    QTest::newRow("2-byte letter on the limit") << xs + "\xC3\xBC" "z" << sx + QString::fromUtf8("\u00FC");
    QTest::newRow("4-byte letter on the limit") << xs + "\xF0\x9F\x8F\x8A" "z" << sx + QString::fromUtf8("\U0001F3CA");
    QTest::newRow("1252 past the limit") << xs + "\xFC\xFC" << sx + QString::fromUtf8("\u00FC");
    // The rule looks at the whole line, not at the part that is drawn.
    QTest::newRow("stray byte past the limit") << xs + "\xC3\xBC" + QByteArray(10, 'z') + "\xFC"
                                               << sx + QString::fromUtf8("\u00C3");
}

void tst_TextCodec::rowText_cutsAtCharacterBoundary()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    const std::string text = scb::rowText(bytes.toStdString());
    QVERIFY(scb::isValidUtf8(text));
    QCOMPARE(QString::fromStdString(text), shown);
}

void tst_TextCodec::encodeEditedLines_keepsUntouchedBytes_data()
{
    QTest::addColumn<QByteArrayList>("stored");
    QTest::addColumn<QStringList>("edited");
    QTest::addColumn<QByteArrayList>("expected");

    // "M\xFCller" is 1252, "M\xC3\xBCller" UTF-8; both show as "Müller".
    const QByteArrayList mixed{"M\xFCller", "M\xC3\xBCller", "a\x81" "b"};
    QTest::newRow("nothing edited") << mixed << QStringList{"Müller", "Müller", "a\uFFFDb"} << mixed;
    QTest::newRow("typed into the 1252 line")
        << mixed << QStringList{"Müller!", "Müller", "a\uFFFDb"}
        << QByteArrayList{"M\xFCller!", "M\xC3\xBCller", "a\x81" "b"};
    QTest::newRow("typed into the UTF-8 line")
        << mixed << QStringList{"Müller", "Müller!", "a\uFFFDb"}
        << QByteArrayList{"M\xFCller", "M\xC3\xBCller!", "a\x81" "b"};
    QTest::newRow("line added after the 1252 line")
        << mixed << QStringList{"Müller", "Jäger", "Müller", "a\uFFFDb"}
        << QByteArrayList{"M\xFCller", "J\xE4ger", "M\xC3\xBCller", "a\x81" "b"};
    QTest::newRow("1252 cannot hold the letter") << mixed << QStringList{"M\u6E2Cller", "Müller", "a\uFFFDb"}
                                                 << QByteArrayList{"M\xE6\xB8\xACller", "M\xC3\xBCller", "a\x81" "b"};
    // In 1252 these two letters are C3 BC, which would read back as "ü".
    QTest::newRow("1252 bytes that read as UTF-8") << mixed << QStringList{"\u00C3\u00BC", "Müller", "a\uFFFDb"}
                                                   << QByteArrayList{"\xC3\x83\xC2\xBC", "M\xC3\xBCller", "a\x81" "b"};
    QTest::newRow("line removed") << mixed << QStringList{"Müller", "a\uFFFDb"}
                                  << QByteArrayList{"M\xFCller", "a\x81" "b"};
}

void tst_TextCodec::encodeEditedLines_keepsUntouchedBytes()
{
    QFETCH(QByteArrayList, stored);
    QFETCH(QStringList, edited);
    QFETCH(QByteArrayList, expected);
    std::vector<std::string> storedLines, shown, editedLines;
    for (const QByteArray &line : stored) {
        storedLines.push_back(line.toStdString());
        shown.push_back(scb::decodeLine(line.toStdString()));
    }
    for (const QString &line : edited)
        editedLines.push_back(line.toStdString());
    const std::vector<std::string> out = scb::encodeEditedLines(storedLines, shown, editedLines);
    QByteArrayList got;
    for (const std::string &line : out) {
        got << QByteArray::fromStdString(line);
        // Whatever codec was chosen, the line reads back as it was typed.
        QCOMPARE(QString::fromStdString(scb::decodeLine(line)), edited.at(got.size() - 1));
    }
    QCOMPARE(got, expected);
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
