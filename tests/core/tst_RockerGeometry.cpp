#include <QTest>

#include "core/RockerGeometry.h"

using namespace scb;

using Points = std::vector<Point>;
Q_DECLARE_METATYPE(Points)
Q_DECLARE_METATYPE(scb::Rect)
Q_DECLARE_METATYPE(scb::RockerColorRole)

namespace {
Points pts(std::initializer_list<std::pair<int, int>> list)
{
    Points out;
    for (const auto &[x, y] : list)
        out.push_back({x, y});
    return out;
}
} // namespace

namespace QTest {
template<> char *toString(const scb::Rect &r)
{
    return qstrdup(QString::asprintf("Rect(%d,%d %dx%d)", r.x, r.y, r.width, r.height).toUtf8().constData());
}
template<> char *toString(const Points &p)
{
    QByteArray out;
    for (const auto &pt : p)
        out += QString::asprintf("(%d,%d) ", pt.x, pt.y).toUtf8();
    return qstrdup(out.constData());
}
} // namespace QTest

class tst_RockerGeometry : public QObject
{
    Q_OBJECT

private slots:
    void designSize_matchesFaceTable_data();
    void designSize_matchesFaceTable();
    void recedingHalf_alwaysUncheckedColour();
    void pressFlips_onlyOnOtherStatesHalf_data();
    void pressFlips_onlyOnOtherStatesHalf();
};

void tst_RockerGeometry::designSize_matchesFaceTable_data()
{
    QTest::addColumn<bool>("checked");
    QTest::addColumn<Points>("top");
    QTest::addColumn<Points>("side");
    QTest::addColumn<Points>("receding");
    QTest::addColumn<Points>("flat");
    QTest::addColumn<RockerColorRole>("flatColor");
    QTest::addColumn<Rect>("caption");

    QTest::newRow("unchecked, Closed")
        << false << pts({{39, 0}, {72, 6}, {78, 0}}) << pts({{72, 6}, {78, 0}, {78, 25}, {72, 31}})
        << pts({{39, 0}, {72, 6}, {72, 31}, {39, 25}}) << pts({{0, 0}, {39, 0}, {39, 25}, {0, 25}})
        << RockerColorRole::Unchecked << Rect{1, 0, 38, 25};
    QTest::newRow("checked, Open")
        << true << pts({{39, 0}, {6, 6}, {0, 0}}) << pts({{6, 6}, {0, 0}, {0, 25}, {6, 31}})
        << pts({{39, 0}, {6, 6}, {6, 31}, {39, 25}}) << pts({{78, 0}, {39, 0}, {39, 25}, {78, 25}})
        << RockerColorRole::Checked << Rect{40, 0, 38, 25};
}

void tst_RockerGeometry::designSize_matchesFaceTable()
{
    QFETCH(bool, checked);
    QFETCH(Points, top);
    QFETCH(Points, side);
    QFETCH(Points, receding);
    QFETCH(Points, flat);
    QFETCH(RockerColorRole, flatColor);
    QFETCH(Rect, caption);

    const RockerGeometry g = rockerGeometry(80, 32, checked, /*checkedLeft*/ false);
    QCOMPARE(g.bodyHeight, 25);
    QCOMPARE(g.faces[0].kind, RockerFaceKind::Top);
    QCOMPARE(g.faces[0].color, RockerColorRole::Top);
    QCOMPARE(g.faces[0].points, top);
    QCOMPARE(g.faces[1].kind, RockerFaceKind::Side);
    QCOMPARE(g.faces[1].color, RockerColorRole::Side);
    QCOMPARE(g.faces[1].points, side);
    QCOMPARE(g.faces[2].kind, RockerFaceKind::Receding);
    QCOMPARE(g.faces[2].points, receding);
    QCOMPARE(g.faces[3].kind, RockerFaceKind::Flat);
    QCOMPARE(g.faces[3].color, flatColor);
    QCOMPARE(g.faces[3].points, flat);
    QCOMPARE(g.caption, caption);
    QCOMPARE(g.caption.right(), checked ? 78 : 39);
}

void tst_RockerGeometry::recedingHalf_alwaysUncheckedColour()
{
    for (bool checked : {false, true}) {
        for (bool checkedLeft : {false, true}) {
            const RockerGeometry g = rockerGeometry(80, 32, checked, checkedLeft);
            QCOMPARE(g.faces[2].color, RockerColorRole::Unchecked);
        }
    }
    // With the checked side on the left, the checked switch shows its flat face left.
    const RockerGeometry g = rockerGeometry(80, 32, true, true);
    QCOMPARE(g.faces[3].points.front(), (Point{0, 0}));
    QCOMPARE(g.caption, (Rect{1, 0, 38, 25}));
}

void tst_RockerGeometry::pressFlips_onlyOnOtherStatesHalf_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<bool>("checkedLeft");
    QTest::addColumn<bool>("flips");
    // Checked side on the right, as in the control window.
    QTest::newRow("unchecked, right half") << 60 << false << false << true;
    QTest::newRow("unchecked, left half") << 10 << false << false << false;
    QTest::newRow("checked, left half") << 10 << true << false << true;
    QTest::newRow("checked, right half") << 60 << true << false << false;
    QTest::newRow("unchecked, last left pixel") << 39 << false << false << false;
    QTest::newRow("unchecked, first right pixel") << 40 << false << false << true;
    // The control's default: checked side on the left.
    QTest::newRow("left-checked, unchecked, left half") << 10 << false << true << true;
    QTest::newRow("left-checked, unchecked, right half") << 60 << false << true << false;
    QTest::newRow("left-checked, checked, right half") << 60 << true << true << true;
}

void tst_RockerGeometry::pressFlips_onlyOnOtherStatesHalf()
{
    QFETCH(int, x);
    QFETCH(bool, checked);
    QFETCH(bool, checkedLeft);
    QFETCH(bool, flips);
    QCOMPARE(pressFlips(x, checked, checkedLeft, 80), flips);
}


QTEST_APPLESS_MAIN(tst_RockerGeometry)
#include "tst_RockerGeometry.moc"
