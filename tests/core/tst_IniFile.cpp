#include <QtTest>

#include <random>
#include <string>

#include <sys/stat.h>

#include "core/IniFile.h"

using scb::IniFile;

namespace {
constexpr std::int32_t NoValue = 424242; // the default handed in; never a parse result below
}

class tst_IniFile : public QObject
{
    Q_OBJECT

private slots:
    void parseIniInteger_data();
    void parseIniInteger();
    void readString_data();
    void readString();
    void readInteger_quotedValue_keepsInnerSpaces_data();
    void readInteger_quotedValue_keepsInnerSpaces();
    void readString_longValue_cutAt2047();
    void load_missingFileOrFolder_readsAsEmpty();
    void load_fifo_doesNotBlock();
    void load_binaryGarbage_findsSectionAfterIt();
    void parse_hugeLines_stayLinear();
};

void tst_IniFile::parseIniInteger_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("parses");
    QTest::addColumn<int>("value");

    QTest::newRow("zero") << QByteArray("0") << true << 0;
    QTest::newRow("plain") << QByteArray("801") << true << 801;
    QTest::newRow("negative") << QByteArray("-5") << true << -5;
    QTest::newRow("plus sign") << QByteArray("+12") << true << 12;
    QTest::newRow("leading spaces") << QByteArray("   12") << true << 12;
    QTest::newRow("leading zeros beyond ten digits") << QByteArray("000000000000000000012") << true << 12;
    QTest::newRow("int32 max") << QByteArray("2147483647") << true << 2147483647;
    QTest::newRow("int32 min") << QByteArray("-2147483648") << true << int(INT32_MIN);
    QTest::newRow("one past max") << QByteArray("2147483648") << false << 0;
    QTest::newRow("one past min") << QByteArray("-2147483649") << false << 0;
    QTest::newRow("past 64 bits") << QByteArray("99999999999999999999999") << false << 0;
    QTest::newRow("dollar hex") << QByteArray("$FF") << true << 255;
    QTest::newRow("0x hex") << QByteArray("0x80FFFF") << true << 8454143;
    QTest::newRow("0X hex lower digits") << QByteArray("0X1f") << true << 31;
    QTest::newRow("lone x") << QByteArray("x1F") << true << 31;
    QTest::newRow("lone X") << QByteArray("X1f") << true << 31;
    QTest::newRow("spaces before hex") << QByteArray("  $10") << true << 16;
    QTest::newRow("eight hex digits wrap") << QByteArray("$FFFFFFFF") << true << -1;
    QTest::newRow("eight hex digits min") << QByteArray("0x80000000") << true << int(INT32_MIN);
    QTest::newRow("nine hex digits") << QByteArray("$123456789") << false << 0;
    QTest::newRow("nine hex digits, leading zero") << QByteArray("0x0FFFFFFFF") << false << 0;
    QTest::newRow("0x alone") << QByteArray("0x") << false << 0;
    QTest::newRow("dollar alone") << QByteArray("$") << false << 0;
    QTest::newRow("x alone") << QByteArray("x") << false << 0;
    QTest::newRow("sign before hex") << QByteArray("-$FF") << false << 0;
    QTest::newRow("plus before 0x") << QByteArray("+0x1") << false << 0;
    QTest::newRow("bad hex digit") << QByteArray("0x1G") << false << 0;
    QTest::newRow("empty") << QByteArray("") << false << 0;
    QTest::newRow("only spaces") << QByteArray("   ") << false << 0;
    QTest::newRow("sign alone") << QByteArray("-") << false << 0;
    QTest::newRow("double sign") << QByteArray("--1") << false << 0;
    QTest::newRow("trailing space") << QByteArray("12 ") << false << 0;
    QTest::newRow("trailing letter") << QByteArray("7x") << false << 0;
    QTest::newRow("decimal point") << QByteArray("12.5") << false << 0;
    QTest::newRow("word") << QByteArray("abc") << false << 0;
    QTest::newRow("embedded NUL") << QByteArray("1\0002", 3) << false << 0;
}

void tst_IniFile::parseIniInteger()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, parses);
    QFETCH(int, value);

    const std::optional<std::int32_t> result = scb::parseIniInteger(std::string_view(text.constData(), text.size()));
    QCOMPARE(result.has_value(), parses);
    if (parses)
        QCOMPARE(*result, value);
}

void tst_IniFile::readString_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected");

    // Every row looks up Settings/FName with the default "DEF".
    QTest::newRow("plain") << QByteArray("[Settings]\nFName=Arial\n") << QByteArray("Arial");
    QTest::newRow("CR LF") << QByteArray("[Settings]\r\nFName=Arial\r\n") << QByteArray("Arial");
    QTest::newRow("no final line end") << QByteArray("[Settings]\nFName=Arial") << QByteArray("Arial");
    QTest::newRow("CR only") << QByteArray("[Settings]\rX=1\rFName=Arial\r") << QByteArray("Arial");
    QTest::newRow("CR, LF and CR LF mixed") << QByteArray("[Other]\r\nFName=B\r[Settings]\nX=1\rFName=Arial\r\n")
                                            << QByteArray("Arial");
    QTest::newRow("blanks stripped") << QByteArray("[Settings]\n  FName \t=  Times New Roman \t\n")
                                     << QByteArray("Times New Roman");
    QTest::newRow("double quotes") << QByteArray("[Settings]\nFName=\" Arial \"\n") << QByteArray(" Arial ");
    QTest::newRow("single quotes") << QByteArray("[Settings]\nFName='Arial'\n") << QByteArray("Arial");
    QTest::newRow("only one pair of quotes") << QByteArray("[Settings]\nFName=\"\"Arial\"\"\n")
                                             << QByteArray("\"Arial\"");
    QTest::newRow("mismatched quotes kept") << QByteArray("[Settings]\nFName=\"Arial'\n") << QByteArray("\"Arial'");
    QTest::newRow("lone quote kept") << QByteArray("[Settings]\nFName=\"\n") << QByteArray("\"");
    QTest::newRow("equals sign in value") << QByteArray("[Settings]\nFName=a=b\n") << QByteArray("a=b");
    QTest::newRow("empty value is not the default") << QByteArray("[Settings]\nFName=\n") << QByteArray("");
    QTest::newRow("names in other case") << QByteArray("[sETTINGS]\nfname=Arial\n") << QByteArray("Arial");
    QTest::newRow("blanks inside brackets") << QByteArray("  [ Settings ]  \nFName=Arial\n") << QByteArray("Arial");
    QTest::newRow("first occurrence wins") << QByteArray("[Settings]\nFName=A\nFName=B\n") << QByteArray("A");
    QTest::newRow("repeated section still searched")
        << QByteArray("[Settings]\nX=1\n[Other]\nFName=B\n[settings]\nFName=C\n") << QByteArray("C");
    QTest::newRow("other section only") << QByteArray("[Other]\nFName=B\n") << QByteArray("DEF");
    QTest::newRow("before any section") << QByteArray("FName=B\n[Settings]\n") << QByteArray("DEF");
    QTest::newRow("header without closing bracket") << QByteArray("[Settings\nFName=B\n") << QByteArray("DEF");
    QTest::newRow("key without value line") << QByteArray("[Settings]\nFName\n") << QByteArray("DEF");
    QTest::newRow("commented out") << QByteArray("[Settings]\n;FName=B\n") << QByteArray("DEF");
    QTest::newRow("longer key") << QByteArray("[Settings]\nFNameX=B\n") << QByteArray("DEF");
    QTest::newRow("NUL ends the line's text") << QByteArray("[Settings]\nFName=Ar\0ial\n", 24) << QByteArray("Ar");
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF[Settings]\nFName=Arial\n") << QByteArray("Arial");
    QTest::newRow("8-bit bytes kept") << QByteArray("[Settings]\nFName=Caf\xE9\n") << QByteArray("Caf\xE9");
    QTest::newRow("empty file") << QByteArray() << QByteArray("DEF");
}

void tst_IniFile::readString()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);

    const IniFile ini = IniFile::parse(std::string_view(text.constData(), text.size()));
    QCOMPARE(QByteArray::fromStdString(ini.readString("Settings", "FName", "DEF")), expected);
}

void tst_IniFile::readInteger_quotedValue_keepsInnerSpaces_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("expected");

    QTest::newRow("quoted leading spaces") << QByteArray("\"  12\"") << 12;
    QTest::newRow("quoted trailing space") << QByteArray("\"12 \"") << NoValue;
    QTest::newRow("blank value") << QByteArray(" ") << NoValue;
    QTest::newRow("quoted hex") << QByteArray("'$FF'") << 255;
}

void tst_IniFile::readInteger_quotedValue_keepsInnerSpaces()
{
    QFETCH(QByteArray, value);
    QFETCH(int, expected);

    const std::string text = "[Settings]\r\nFSize=" + value.toStdString() + "\r\n";
    QCOMPARE(IniFile::parse(text).readInteger("Settings", "FSize", NoValue), expected);
}

void tst_IniFile::readString_longValue_cutAt2047()
{
    const std::string path(3000, 'p');
    const IniFile ini = IniFile::parse("[Settings]\nDisplayFile=" + path + "\n");
    QCOMPARE(ini.readString("Settings", "DisplayFile", ""), path.substr(0, 2047));
}

void tst_IniFile::load_missingFileOrFolder_readsAsEmpty()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string folder = dir.path().toStdString();

    QCOMPARE(IniFile::load(folder + "/none.ini").readInteger("Settings", "SLeft", 801), 801);
    QCOMPARE(IniFile::load(folder).readInteger("Settings", "SLeft", 801), 801);
}

void tst_IniFile::load_fifo_doesNotBlock()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string fifo = dir.path().toStdString() + "/Resolution.ini";
    QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);

    // Would hang here waiting for a writer if the reader opened it blocking.
    QCOMPARE(IniFile::load(fifo).readString("Settings", "FName", "Arial"), std::string("Arial"));
}

void tst_IniFile::load_binaryGarbage_findsSectionAfterIt()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    std::mt19937 random(12345);
    std::string text(10 * 1024 * 1024, '\0');
    for (char &c : text)
        c = static_cast<char>(random() & 0xFF);
    text += "\n[Settings]\r\nSLeft=5\r\n";
    QFile file(dir.filePath("Resolution.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(text.data(), qint64(text.size())), qint64(text.size()));
    file.close();

    const IniFile ini = IniFile::load(file.fileName().toStdString());
    QCOMPARE(ini.readInteger("Settings", "SLeft", 801), 5);
    QCOMPARE(ini.readInteger("Settings", "STop", 0), 0);
}

void tst_IniFile::parse_hugeLines_stayLinear()
{
    // Long runs of the characters the scanner looks for; a quadratic scan of
    // these would take minutes.
    std::string text = "[Settings]\n";
    for (int i = 0; i < 50; ++i) {
        text += std::string(100000, '[') + "\n";
        text += std::string(100000, ' ') + "\n";
        text += "[Settings]\n" + std::string(100000, '=') + "\n";
    }
    text += "FName=" + std::string(100000, 'a') + "\n";
    const IniFile ini = IniFile::parse(text);
    QCOMPARE(ini.readString("Settings", "FName", "").size(), std::size_t(2047));
    QCOMPARE(ini.readInteger("Settings", "Missing", 7), 7);
}

QTEST_APPLESS_MAIN(tst_IniFile)
#include "tst_IniFile.moc"
