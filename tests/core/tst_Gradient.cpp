#include <QTest>

#include <algorithm>

#include "core/Gradient.h"

using namespace scb;

class tst_Gradient : public QObject
{
    Q_OBJECT

private slots:
    void mulDiv_roundsHalvesAwayFromZero_data();
    void mulDiv_roundsHalvesAwayFromZero();
    void mulDiv_zeroDivisor_givesMinusOne();
    void mulDiv_largeProduct_doesNotOverflow();

    void gradientTable_designColours_data();
    void gradientTable_designColours();
    void gradientTable_countClampedToRange_data();
    void gradientTable_countClampedToRange();

    void gradientBands_designHeight_coverEveryRowOnce();
    void gradientBands_smallHeight_leavesBandsEmpty();
    void gradientBands_noHeight_givesNoBands();
};

void tst_Gradient::mulDiv_roundsHalvesAwayFromZero_data()
{
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("c");
    QTest::addColumn<int>("expected");
    QTest::newRow("exact") << 6 << 4 << 3 << 8;
    QTest::newRow("below half") << 1 << 1 << 3 << 0;
    QTest::newRow("above half") << 2 << 1 << 3 << 1;
    QTest::newRow("half up") << 1 << 1 << 2 << 1;
    QTest::newRow("three halves") << 3 << 1 << 2 << 2;
    QTest::newRow("negative half") << -1 << 1 << 2 << -1;
    QTest::newRow("negative three halves") << 3 << -1 << 2 << -2;
    QTest::newRow("negative divisor half") << 5 << 1 << -2 << -3;
    QTest::newRow("both negative") << -5 << 1 << -2 << 3;
    QTest::newRow("negative below half") << -128 << 2 << 235 << -1;
    QTest::newRow("zero") << 0 << 100 << 7 << 0;
}

void tst_Gradient::mulDiv_roundsHalvesAwayFromZero()
{
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, c);
    QFETCH(int, expected);
    QCOMPARE(mulDiv(a, b, c), expected);
}

void tst_Gradient::mulDiv_zeroDivisor_givesMinusOne()
{
    QCOMPARE(mulDiv(5, 7, 0), -1);
}

void tst_Gradient::mulDiv_largeProduct_doesNotOverflow()
{
    // The product exceeds 32 bits; the quotient does not.
    QCOMPARE(mulDiv(2000000000, 3, 4), 1500000000);
    QCOMPARE(mulDiv(-2000000000, 3, 4), -1500000000);
    QCOMPARE(mulDiv(2000000000, 2000000000, 1), -1);
}

void tst_Gradient::gradientTable_designColours_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("red");
    QTest::addColumn<int>("green");
    QTest::addColumn<int>("blue");
    QTest::newRow("0") << 0 << 0 << 128 << 255;
    QTest::newRow("1") << 1 << 0 << 127 << 255;
    QTest::newRow("2") << 2 << 0 << 127 << 254;
    QTest::newRow("117") << 117 << 0 << 64 << 208;
    QTest::newRow("118") << 118 << 0 << 64 << 207;
    QTest::newRow("234") << 234 << 0 << 1 << 160;
    QTest::newRow("235") << 235 << 0 << 0 << 160;
}

void tst_Gradient::gradientTable_designColours()
{
    QFETCH(int, index);
    QFETCH(int, red);
    QFETCH(int, green);
    QFETCH(int, blue);
    const auto table = gradientTable(GradientStart, GradientEnd, GradientMaxCount);
    QCOMPARE(table.size(), std::size_t(236));
    QCOMPARE(table[std::size_t(index)], makeColor(red, green, blue));
}

void tst_Gradient::gradientTable_countClampedToRange_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("expectedSize");
    QTest::newRow("zero") << 0 << 2;
    QTest::newRow("negative") << -5 << 2;
    QTest::newRow("one") << 1 << 2;
    QTest::newRow("ten") << 10 << 10;
    QTest::newRow("too many") << 1000 << 236;
}

void tst_Gradient::gradientTable_countClampedToRange()
{
    QFETCH(int, count);
    QFETCH(int, expectedSize);
    const Color start = makeColor(10, 200, 30);
    const Color end = makeColor(250, 0, 30);
    const auto table = gradientTable(start, end, count);
    QCOMPARE(int(table.size()), expectedSize);
    QCOMPARE(table.front(), start);
    QCOMPARE(table.back(), end);
}

void tst_Gradient::gradientBands_designHeight_coverEveryRowOnce()
{
    const auto table = gradientTable(GradientStart, GradientEnd, GradientMaxCount);
    const auto bands = gradientBands(table, 430);
    QCOMPARE(bands.size(), std::size_t(236));

    QCOMPARE(bands.front(), (GradientBand{0, 2, table.front()}));
    QCOMPARE(bands.back(), (GradientBand{428, 430, table.back()}));

    int expectedTop = 0;
    for (const auto &band : bands) {
        QCOMPARE(band.top, expectedTop);
        QVERIFY(band.bottom >= band.top);
        expectedTop = band.bottom;
    }
    QCOMPARE(expectedTop, 430);

    const auto rows = [&](int n) {
        return std::count_if(bands.begin(), bands.end(), [n](const GradientBand &b) { return b.bottom - b.top == n; });
    };
    QCOMPARE(rows(2), 194);
    QCOMPARE(rows(1), 42);
}

void tst_Gradient::gradientBands_smallHeight_leavesBandsEmpty()
{
    const auto table = gradientTable(GradientStart, GradientEnd, GradientMaxCount);
    const auto bands = gradientBands(table, 100);
    QCOMPARE(bands.size(), std::size_t(236));
    const auto empty = std::count_if(bands.begin(), bands.end(), [](const GradientBand &b) { return b.top == b.bottom; });
    QCOMPARE(empty, 136);

    const auto bandOfRow = [&](int row) {
        const auto it = std::find_if(bands.begin(), bands.end(),
                                     [row](const GradientBand &b) { return row >= b.top && row < b.bottom; });
        return it == bands.end() ? -1 : int(it - bands.begin());
    };
    QCOMPARE(bandOfRow(0), 1);
    QCOMPARE(bands[1].color, makeColor(0, 127, 255));
    QCOMPARE(bandOfRow(99), 234);
    QCOMPARE(bands[234].color, makeColor(0, 1, 160));
}

void tst_Gradient::gradientBands_noHeight_givesNoBands()
{
    const auto table = gradientTable(GradientStart, GradientEnd, 10);
    QVERIFY(gradientBands(table, 0).empty());
    QVERIFY(gradientBands(table, -3).empty());
    QVERIFY(gradientBands({}, 100).empty());
}

QTEST_APPLESS_MAIN(tst_Gradient)
#include "tst_Gradient.moc"
