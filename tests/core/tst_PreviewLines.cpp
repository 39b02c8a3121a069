#include <QTest>

#include "core/Board.h"
#include "core/PreviewLines.h"
#include "core/TextCodec.h"

using scb::PreviewLines;

namespace {

QStringList allLines(const PreviewLines &lines)
{
    QStringList out;
    for (int i = 0; i < lines.count(); ++i)
        out << QString::fromLatin1(lines.lineView(i));
    return out;
}

} // namespace

class tst_PreviewLines : public QObject
{
    Q_OBJECT

private slots:
    void setText_countsAndFetches_data();
    void setText_countsAndFetches();
    void lineView_pastCountOrNegative_isEmpty();
    void lineView_afterTextReplaced_readsNewText();
    void setText_sameText_firesNoChange();
    void add_appendsPerRules_data();
    void add_appendsPerRules();
    void add_keepsEarlierLinesReadable();
    void setText_largeText_normalisesEveryBreak();
    void shown_decodesEachLineAndCutsAtCharacters_data();
    void shown_decodesEachLineAndCutsAtCharacters();
};

void tst_PreviewLines::setText_countsAndFetches_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("empty") << QByteArray() << QByteArray() << QStringList{""};
    QTest::newRow("A CRLF B") << QByteArray("A\r\nB") << QByteArray("A\r\nB") << QStringList{"A", "B"};
    QTest::newRow("trailing CRLF") << QByteArray("A\r\nB\r\n") << QByteArray("A\r\nB\r\n")
                                   << QStringList{"A", "B", ""};
    QTest::newRow("lone LF") << QByteArray("A\nB") << QByteArray("A\r\nB") << QStringList{"A", "B"};
    QTest::newRow("two LFs") << QByteArray("\n\n") << QByteArray("\r\n\r\n") << QStringList{"", "", ""};
    QTest::newRow("lone CR") << QByteArray("A\rB") << QByteArray("A\rB") << QStringList{"A\rB"};
    QTest::newRow("CR CR LF") << QByteArray("A\r\r\nB") << QByteArray("A\r\r\nB") << QStringList{"A\r", "B"};
    QTest::newRow("mixed breaks") << QByteArray("\nA\r\nB\nC") << QByteArray("\r\nA\r\nB\r\nC")
                                  << QStringList{"", "A", "B", "C"};
    QTest::newRow("tab and NUL kept") << QByteArray("a\tb\0c", 5) << QByteArray("a\tb\0c", 5)
                                      << QStringList{QString::fromLatin1("a\tb\0c", 5)};
    QTest::newRow("8-bit bytes kept") << QByteArray("x\ny\r\n\xFF\xFEz") << QByteArray("x\r\ny\r\n\xFF\xFEz")
                                      << QStringList{"x", "y", QString::fromLatin1("\xFF\xFEz")};
}

void tst_PreviewLines::setText_countsAndFetches()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, stored);
    QFETCH(QStringList, lines);

    PreviewLines preview("seed");
    preview.setText(input.toStdString());
    QCOMPARE(QByteArray::fromStdString(preview.text()), stored);
    QCOMPARE(preview.count(), lines.size());
    QCOMPARE(allLines(preview), lines);

    // The constructor applies the same rules.
    PreviewLines built(input.toStdString());
    QCOMPARE(built.count(), lines.size());
    QCOMPARE(QByteArray::fromStdString(built.text()), stored);
}

void tst_PreviewLines::lineView_pastCountOrNegative_isEmpty()
{
    PreviewLines preview("A\r\nB");
    QCOMPARE(std::string(preview.lineView(2)), std::string());
    QCOMPARE(std::string(preview.lineView(100)), std::string());
    QCOMPARE(std::string(preview.lineView(-1)), std::string());
    QCOMPARE(std::string(preview.lineView(1)), std::string("B"));
}

void tst_PreviewLines::lineView_afterTextReplaced_readsNewText()
{
    PreviewLines preview("a0\r\na1\r\na2\r\na3\r\na4");
    QCOMPARE(std::string(preview.lineView(4)), std::string("a4"));
    preview.setText("longer line 0\nb1\nb2");
    QCOMPARE(std::string(preview.lineView(1)), std::string("b1"));
    QCOMPARE(std::string(preview.lineView(2)), std::string("b2"));
    QCOMPARE(std::string(preview.lineView(4)), std::string());
}

void tst_PreviewLines::setText_sameText_firesNoChange()
{
    PreviewLines preview("A\r\nB");
    int changes = 0;
    preview.onChange = [&] { ++changes; };
    // Equal once normalised: a lone LF set over CR LF text is no change.
    QVERIFY(!preview.setText("A\nB"));
    QCOMPARE(changes, 0);
    QVERIFY(preview.setText("A\nC"));
    QCOMPARE(changes, 1);
}

void tst_PreviewLines::add_appendsPerRules_data()
{
    QTest::addColumn<QByteArray>("initial");
    QTest::addColumn<QByteArray>("added");
    QTest::addColumn<int>("returned");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("on empty") << QByteArray() << QByteArray("X") << 1 << QStringList{"X"};
    QTest::newRow("after final CRLF") << QByteArray("A\r\n") << QByteArray("X") << 3
                                      << QStringList{"A", "", "X"};
    QTest::newRow("after A") << QByteArray("A") << QByteArray("X") << 2 << QStringList{"A", "X"};
    QTest::newRow("after lone CR") << QByteArray("A\r") << QByteArray("X") << 2 << QStringList{"A\r", "X"};
    QTest::newRow("empty string on text") << QByteArray("A") << QByteArray() << 2 << QStringList{"A", ""};
    QTest::newRow("embedded LF") << QByteArray("A") << QByteArray("X\nY") << 3 << QStringList{"A", "X", "Y"};
    QTest::newRow("embedded CRLF on empty") << QByteArray() << QByteArray("X\r\nY") << 2
                                            << QStringList{"X", "Y"};
    QTest::newRow("leading LF") << QByteArray("A") << QByteArray("\nY") << 3 << QStringList{"A", "", "Y"};
}

void tst_PreviewLines::add_appendsPerRules()
{
    QFETCH(QByteArray, initial);
    QFETCH(QByteArray, added);
    QFETCH(int, returned);
    QFETCH(QStringList, lines);

    PreviewLines preview(initial.toStdString());
    preview.prepare(scb::RowCount); // what a worker finds of the lines first must not go stale
    int changes = 0;
    preview.onChange = [&] { ++changes; };
    QCOMPARE(preview.add(added.toStdString()), returned);
    QCOMPARE(preview.count(), returned);
    QCOMPARE(allLines(preview), lines);
    for (int i = 0; i < returned; ++i)
        QCOMPARE(QString::fromStdString(preview.rowLine(i)->bytes), lines.at(i));
    QCOMPARE(changes, 1);
    // The stored text keeps CR LF breaks only, so a reload of it counts the same.
    QCOMPARE(PreviewLines(preview.text()).count(), returned);
    QCOMPARE(preview.text().find("\r\r\n"), initial.endsWith('\r') ? 1 : std::string::npos);
}

void tst_PreviewLines::add_keepsEarlierLinesReadable()
{
    PreviewLines preview("L0\r\nL1");
    QCOMPARE(std::string(preview.lineView(1)), std::string("L1")); // fills the start cache
    preview.add("L2");
    preview.add("L3");
    QCOMPARE(allLines(preview), (QStringList{"L0", "L1", "L2", "L3"}));
}

void tst_PreviewLines::setText_largeText_normalisesEveryBreak()
{
    // Big enough for the buffers to take the large-allocation path.
    std::string bytes;
    const int lines = 300'000;
    for (int i = 0; i < lines; ++i)
        bytes += "entry " + std::to_string(i) + (i % 2 ? "\r\n" : "\n");

    PreviewLines preview;
    QVERIFY(preview.setText(bytes));
    QCOMPARE(preview.count(), lines + 1);
    QCOMPARE(preview.text().size(), bytes.size() + lines / 2);
    QCOMPARE(std::string(preview.lineView(lines - 1)), "entry " + std::to_string(lines - 1));
    QCOMPARE(std::string(preview.lineView(lines)), std::string());
    QVERIFY(!preview.setText(bytes));
}

void tst_PreviewLines::shown_decodesEachLineAndCutsAtCharacters_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("maxBytes");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<bool>("cut");

    QTest::newRow("each line read on its own") << QByteArray("M\xFCller\r\nM\xC3\xBCller") << 100
                                               << QStringList{"Müller", "Müller"} << false;
    QTest::newRow("fits exactly") << QByteArray("ab\r\ncd") << 6 << QStringList{"ab", "cd"} << false;
    QTest::newRow("ends at a break") << QByteArray("ab\r\ncd") << 3 << QStringList{"ab"} << true;
    QTest::newRow("ends inside a UTF-8 letter") << QByteArray("ab\r\n\xC3\xBC\xC3\xBC") << 7
                                                << QStringList{"ab", "ü"} << true;
    QTest::newRow("line longer than a row")
        << QByteArray(int(scb::MaxRowChars) + 1, 'x') + "\r\nnext" << 100000
        << QStringList{QString(int(scb::MaxRowChars), u'x'), "next"} << true;
}

void tst_PreviewLines::shown_decodesEachLineAndCutsAtCharacters()
{
    QFETCH(QByteArray, text);
    QFETCH(int, maxBytes);
    QFETCH(QStringList, shown);
    QFETCH(bool, cut);
    const PreviewLines preview(text.toStdString());
    const scb::ShownText got = preview.shown(std::size_t(maxBytes));
    QStringList lines;
    for (const std::string &line : got.lines)
        lines << QString::fromStdString(line);
    QCOMPARE(lines, shown);
    QCOMPARE(got.cut, cut);
    if (!cut)
        QCOMPARE(got.stored.size(), got.lines.size());
}

QTEST_APPLESS_MAIN(tst_PreviewLines)
#include "tst_PreviewLines.moc"
