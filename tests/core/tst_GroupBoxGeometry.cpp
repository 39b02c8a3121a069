#include <QTest>

#include <algorithm>

#include "core/CheckBoxGeometry.h"
#include "core/GroupBoxGeometry.h"

using namespace scb;

Q_DECLARE_METATYPE(scb::Rect)

namespace QTest {
template<> char *toString(const scb::Rect &r)
{
    return qstrdup(QString::asprintf("Rect(%d,%d %dx%d)", r.x, r.y, r.width, r.height).toUtf8().constData());
}
} // namespace QTest

class tst_GroupBoxGeometry : public QObject
{
    Q_OBJECT

private slots:
    void frameTop_sitsAtHalfCaptionHeightMinusOne_data();
    void frameTop_sitsAtHalfCaptionHeightMinusOne();
    void clientRect_insetByFrameAndCaption_data();
    void clientRect_insetByFrameAndCaption();
    void captionPatch_startsTwoPixelsLeftOfCaption();
    void etch_ringsUseShadowAndHighlightOnOppositeSides();
    void checkBox_placesGlyphCaptionAndFocus_data();
    void checkBox_placesGlyphCaptionAndFocus();
};

void tst_GroupBoxGeometry::frameTop_sitsAtHalfCaptionHeightMinusOne_data()
{
    QTest::addColumn<int>("captionHeight");
    QTest::addColumn<int>("frameTop");
    QTest::newRow("8-point caption") << 13 << 5;
    QTest::newRow("12-point caption") << 19 << 8;
    QTest::newRow("even height") << 16 << 7;
    QTest::newRow("one pixel") << 1 << -1;
}

void tst_GroupBoxGeometry::frameTop_sitsAtHalfCaptionHeightMinusOne()
{
    QFETCH(int, captionHeight);
    QFETCH(int, frameTop);
    const auto g = groupBoxGeometry(captionHeight, 40, 265, 200);
    QCOMPARE(g.frame, (Rect{0, frameTop, 265, 200 - frameTop}));
    QCOMPARE(g.frame.bottom(), 200);
}

void tst_GroupBoxGeometry::clientRect_insetByFrameAndCaption_data()
{
    QTest::addColumn<int>("captionHeight");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<Rect>("client");
    QTest::newRow("preview box") << 13 << 265 << 200 << Rect{2, 15, 261, 183};
    QTest::newRow("file box, 12-point caption") << 19 << 457 << 73 << Rect{2, 21, 453, 50};
    QTest::newRow("too small") << 13 << 3 << 10 << Rect{2, 15, 0, 0};
}

void tst_GroupBoxGeometry::clientRect_insetByFrameAndCaption()
{
    QFETCH(int, captionHeight);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(Rect, client);
    QCOMPARE(groupBoxGeometry(captionHeight, 50, width, height).client, client);
}

void tst_GroupBoxGeometry::captionPatch_startsTwoPixelsLeftOfCaption()
{
    const auto g = groupBoxGeometry(13, 87, 265, 200);
    QCOMPARE(g.caption, (Rect{8, 0, 87, 13}));
    QCOMPARE(g.captionPatch, (Rect{6, 0, 89, 13}));
    QCOMPARE(g.captionPatch.right(), g.caption.right());
    // The patch covers both top lines of the etched frame.
    QVERIFY(g.captionPatch.contains(6, g.frame.y));
    QVERIFY(g.captionPatch.contains(6, g.frame.y + 1));
    QVERIFY(!g.captionPatch.contains(5, g.frame.y));
}

void tst_GroupBoxGeometry::etch_ringsUseShadowAndHighlightOnOppositeSides()
{
    const auto g = groupBoxGeometry(13, 40, 100, 60);
    QCOMPARE(g.etch.size(), std::size_t(8));
    const auto roleAt = [&](int x, int y) {
        // Bottom/right lines are listed after top/left ones and win at the corners.
        int role = -1;
        for (const auto &line : g.etch) {
            const bool onLine = x >= std::min(line.from.x, line.to.x) && x <= std::max(line.from.x, line.to.x)
                && y >= std::min(line.from.y, line.to.y) && y <= std::max(line.from.y, line.to.y);
            if (onLine)
                role = int(line.role);
        }
        return role;
    };
    const int shadow = int(EtchRole::Shadow), highlight = int(EtchRole::Highlight);
    QCOMPARE(roleAt(50, 5), shadow);     // outer top
    QCOMPARE(roleAt(0, 30), shadow);     // outer left
    QCOMPARE(roleAt(50, 59), highlight); // outer bottom
    QCOMPARE(roleAt(99, 30), highlight); // outer right
    QCOMPARE(roleAt(50, 6), highlight);  // inner top
    QCOMPARE(roleAt(1, 30), highlight);  // inner left
    QCOMPARE(roleAt(50, 58), shadow);    // inner bottom
    QCOMPARE(roleAt(98, 30), shadow);    // inner right
    QCOMPARE(roleAt(50, 30), -1);        // nothing inside
    QCOMPARE(roleAt(50, 4), -1);         // nothing above the frame
}

void tst_GroupBoxGeometry::checkBox_placesGlyphCaptionAndFocus_data()
{
    QTest::addColumn<int>("lineHeight");
    QTest::addColumn<Rect>("glyph");
    QTest::addColumn<Rect>("caption");
    QTest::newRow("12-point caption") << 18 << Rect{1, 2, 13, 13} << Rect{19, 1, 100, 18};
    QTest::newRow("caption shorter than glyph") << 10 << Rect{1, 0, 13, 13} << Rect{19, 2, 100, 10};
    QTest::newRow("odd difference truncates") << 16 << Rect{1, 1, 13, 13} << Rect{19, 1, 100, 16};
}

void tst_GroupBoxGeometry::checkBox_placesGlyphCaptionAndFocus()
{
    QFETCH(int, lineHeight);
    QFETCH(Rect, glyph);
    QFETCH(Rect, caption);
    const auto g = checkBoxGeometry(lineHeight, 100);
    QCOMPARE(g.glyph, glyph);
    QCOMPARE(g.caption, caption);
    QCOMPARE(g.focus, (Rect{caption.x - 1, caption.y - 1, caption.width + 2, caption.height + 2}));
}

QTEST_APPLESS_MAIN(tst_GroupBoxGeometry)
#include "tst_GroupBoxGeometry.moc"
