#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include "core/Gradient.h"
#include "core/RockerGeometry.h"
#include "core/TextCodec.h"
#include "widgets/ClassicButton.h"
#include "widgets/GradientFill.h"
#include "adapters/QtConvert.h"
#include "widgets/GroupBox.h"
#include "widgets/RockerSwitch.h"
#include "widgets/ScbCheckBox.h"
#include "widgets/ScbGrid.h"

namespace {

// Stands in for the control window: paints the gradient, nothing else.
class GradientWindow : public QWidget
{
public:
    GradientFill fill;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        fill.paint(painter, size());
    }
};

QColor rgb(int r, int g, int b)
{
    return QColor(r, g, b);
}

QColor pixel(const QImage &image, int x, int y)
{
    return QColor(image.pixel(x, y));
}

// Palette colours may carry finer components than a pixel holds.
QColor role(const QWidget &w, QPalette::ColorRole r)
{
    return QColor(w.palette().color(r).rgb());
}

} // namespace

class tst_Drawing : public QObject
{
    Q_OBJECT

private slots:
    void gradient_designSize_runsFromBlueToDarkBlue();
    void gradient_resized_rebuildsOverNewHeight();
    void gradient_sameSize_keepsCachedImage();

    void groupBox_frameBreaksBehindCaption();
    void groupBox_gradientRunsOnAcrossBoxEdge();
    void groupBox_captionFontChange_movesClientRect();

    void rocker_paintsFacesForState_data();
    void rocker_paintsFacesForState();
    void rocker_pressOnOtherHalf_flipsAtOnce_clickOnRelease();
    void rocker_pressOnOwnHalf_keepsState_stillClicks();
    void rocker_releaseOutside_flipsWithoutClick();
    void rocker_setFromCode_neverClicks();
    void rocker_rightButton_doesNothing();

    void checkBox_setChecked_firesChangedOnlyOnRealChange();
    void checkBox_mouseClick_changesThenClicks();
    void checkBox_spaceBar_toggles();
    void checkBox_paintsNoBackground();

    void classicButton_raisedEdgeAndFrame_data();
    void classicButton_raisedEdgeAndFrame();

    void grid_rowDrawsLikeTextBox_data();
    void grid_rowDrawsLikeTextBox();
};

void tst_Drawing::gradient_designSize_runsFromBlueToDarkBlue()
{
    GradientWindow window;
    window.resize(513, 430);
    const QImage image = window.grab().toImage();
    QCOMPARE(image.size(), QSize(513, 430));
    QCOMPARE(pixel(image, 0, 0), rgb(0, 128, 255));
    QCOMPARE(pixel(image, 512, 1), rgb(0, 128, 255));
    QCOMPARE(pixel(image, 256, 2), rgb(0, 127, 255));
    QCOMPARE(pixel(image, 0, 429), rgb(0, 0, 160));
    QCOMPARE(pixel(image, 512, 428), rgb(0, 0, 160));
    for (int y = 0; y < 430; ++y)
        QVERIFY2(pixel(image, 100, y) != rgb(0, 0, 128), "navy shows through");
}

void tst_Drawing::gradient_resized_rebuildsOverNewHeight()
{
    GradientWindow window;
    window.resize(513, 430);
    window.grab();
    window.resize(300, 100);
    const QImage image = window.grab().toImage();
    QCOMPARE(image.size(), QSize(300, 100));
    QCOMPARE(pixel(image, 0, 0), rgb(0, 127, 255));
    QCOMPARE(pixel(image, 299, 99), rgb(0, 1, 160));
}

void tst_Drawing::gradient_sameSize_keepsCachedImage()
{
    GradientFill fill;
    const qint64 first = fill.pixmap(QSize(50, 40)).cacheKey();
    QCOMPARE(fill.pixmap(QSize(50, 40)).cacheKey(), first);
    QVERIFY(fill.pixmap(QSize(50, 41)).cacheKey() != first);

    const qint64 resized = fill.pixmap(QSize(50, 41)).cacheKey();
    fill.setColors(fill.startColor(), fill.endColor(), fill.count());
    QCOMPARE(fill.pixmap(QSize(50, 41)).cacheKey(), resized);
    fill.setColors(scb::makeColor(255, 0, 0), fill.endColor(), 2);
    const QImage image = fill.pixmap(QSize(50, 41)).toImage();
    QCOMPARE(pixel(image, 0, 0), rgb(255, 0, 0));
    QCOMPARE(pixel(image, 0, 40), toQColor(fill.endColor()));
}

void tst_Drawing::groupBox_frameBreaksBehindCaption()
{
    GradientWindow window;
    window.resize(513, 430);
    auto *box = new ScbGroupBox(QStringLiteral("Main.txt Preview"), &window);
    box->setGeometry(24, 102, 265, 200);
    const QImage image = window.grab().toImage();

    const int ch = box->captionHeight();
    QVERIFY(ch > 0);
    const int top = ch / 2 - 1;
    const int textWidth = QFontMetrics(box->captionFont()).horizontalAdvance(box->caption());
    const QColor shadow = role(*box, QPalette::Dark);
    const QColor highlight = role(*box, QPalette::Light);
    const auto at = [&](int x, int y) { return pixel(image, 24 + x, 102 + y); };
    const auto gradientAt = [&](int y) { return pixel(image, 5, 102 + y); };

    QCOMPARE(at(3, top), shadow);
    QCOMPARE(at(5, top), shadow);
    QCOMPARE(at(3, top + 1), highlight);
    QCOMPARE(at(0, top + 20), shadow);
    QCOMPARE(at(264, top + 20), highlight);
    QCOMPARE(at(100, 199), highlight);
    QCOMPARE(at(100, 198), shadow);
    QCOMPARE(at(8 + textWidth + 1, top), shadow);
    QCOMPARE(at(8 + textWidth + 1, top + 1), highlight);
    // The patch before the text shows the gradient itself.
    QCOMPARE(at(6, top), gradientAt(top));
    QCOMPARE(at(7, top + 1), gradientAt(top + 1));
    for (int x = 6; x < 8 + textWidth; ++x)
        QVERIFY2(at(x, top) != shadow, qPrintable(QStringLiteral("frame under caption at x=%1").arg(x)));
    // Above the frame the box is transparent.
    QCOMPARE(at(2, top - 1), gradientAt(top - 1));
}

void tst_Drawing::groupBox_gradientRunsOnAcrossBoxEdge()
{
    GradientWindow window;
    window.resize(513, 430);
    auto *panel = new QWidget(&window);
    panel->setGeometry(0, 0, 513, 390);
    auto *box = new ScbGroupBox(QStringLiteral("Fonts and colors"), panel);
    box->setGeometry(24, 312, 457, 65);
    const QImage image = window.grab().toImage();
    QCOMPARE(pixel(image, 200, 340), pixel(image, 10, 340));
    QCOMPARE(pixel(image, 200, 340), toQColor(
        scb::gradientTable(scb::GradientStart, scb::GradientEnd, 236)[std::size_t(340 * 236 / 430)]));
}

void tst_Drawing::groupBox_captionFontChange_movesClientRect()
{
    ScbGroupBox box(QStringLiteral("Screen Size"));
    box.resize(265, 200);
    const int small = box.captionHeight();
    QCOMPARE(box.clientRect(), QRect(2, 2 + small, 261, 196 - small));
    box.setCaptionPixelSize(16);
    QVERIFY(box.captionHeight() > small);
    QCOMPARE(box.clientRect().top(), 2 + box.captionHeight());
}

void tst_Drawing::rocker_paintsFacesForState_data()
{
    QTest::addColumn<bool>("checked");
    QTest::addColumn<QPoint>("flatPoint");
    QTest::addColumn<QColor>("flatColor");
    QTest::addColumn<QPoint>("recedingPoint");
    QTest::addColumn<QPoint>("topPoint");
    QTest::addColumn<int>("captionLeft");
    QTest::addColumn<int>("captionRight");
    QTest::newRow("Closed") << false << QPoint(3, 3) << rgb(255, 0, 0) << QPoint(55, 15) << QPoint(70, 2) << 1 << 39;
    QTest::newRow("Open") << true << QPoint(75, 3) << rgb(0, 255, 0) << QPoint(22, 15) << QPoint(9, 2) << 40 << 78;
}

void tst_Drawing::rocker_paintsFacesForState()
{
    QFETCH(bool, checked);
    QFETCH(QPoint, flatPoint);
    QFETCH(QColor, flatColor);
    QFETCH(QPoint, recedingPoint);
    QFETCH(QPoint, topPoint);
    QFETCH(int, captionLeft);
    QFETCH(int, captionRight);

    GradientWindow window;
    window.resize(120, 60);
    auto *sw = new RockerSwitch(&window);
    sw->setGeometry(16, 24, 80, 32);
    sw->setCheckedLeft(false);
    sw->setCaptionChecked(QStringLiteral("Open"));
    sw->setCaptionUnChecked(QStringLiteral("Closed"));
    sw->setColorChecked(rgb(0, 255, 0));
    sw->setColorUnChecked(rgb(255, 0, 0));
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    font.setPixelSize(11);
    sw->setFont(font);
    sw->setChecked(checked);

    const QImage image = window.grab().toImage();
    const auto at = [&](const QPoint &p) { return pixel(image, 16 + p.x(), 24 + p.y()); };
    QCOMPARE(at(flatPoint), flatColor);
    QCOMPARE(at(recedingPoint), rgb(255, 0, 0));
    QCOMPARE(at(topPoint), rgb(192, 192, 192));
    QCOMPARE(at(QPoint(0, 0)), rgb(0, 0, 0));
    // No background: below the flat half the gradient shows.
    const QPoint belowFlat(checked ? 75 : 3, 30);
    QCOMPARE(at(belowFlat), pixel(image, 5, 24 + 30));

    int white = 0, whiteOutside = 0;
    for (int y = 0; y < 25; ++y) {
        for (int x = 0; x < 80; ++x) {
            if (at(QPoint(x, y)) != rgb(255, 255, 255))
                continue;
            ++(x >= captionLeft && x < captionRight ? white : whiteOutside);
        }
    }
    QVERIFY(white > 0);
    QCOMPARE(whiteOutside, 0);
}

void tst_Drawing::rocker_pressOnOtherHalf_flipsAtOnce_clickOnRelease()
{
    RockerSwitch sw;
    sw.setCheckedLeft(false);
    sw.resize(80, 32);
    QSignalSpy clicked(&sw, &RockerSwitch::clicked);
    QSignalSpy toggled(&sw, &RockerSwitch::toggled);

    QTest::mousePress(&sw, Qt::LeftButton, {}, QPoint(60, 12));
    QVERIFY(sw.isChecked());
    QCOMPARE(toggled.count(), 1);
    QCOMPARE(clicked.count(), 0);
    QTest::mouseRelease(&sw, Qt::LeftButton, {}, QPoint(60, 12));
    QCOMPARE(clicked.count(), 1);

    QTest::mousePress(&sw, Qt::LeftButton, {}, QPoint(10, 12));
    QVERIFY(!sw.isChecked());
    QTest::mouseRelease(&sw, Qt::LeftButton, {}, QPoint(10, 12));
    QCOMPARE(clicked.count(), 2);
    QCOMPARE(toggled.count(), 2);
}

void tst_Drawing::rocker_pressOnOwnHalf_keepsState_stillClicks()
{
    RockerSwitch sw;
    sw.setCheckedLeft(false);
    sw.resize(80, 32);
    QSignalSpy clicked(&sw, &RockerSwitch::clicked);
    QSignalSpy toggled(&sw, &RockerSwitch::toggled);

    QTest::mousePress(&sw, Qt::LeftButton, {}, QPoint(10, 12));
    QVERIFY(!sw.isChecked());
    QTest::mouseRelease(&sw, Qt::LeftButton, {}, QPoint(10, 12));
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(toggled.count(), 0);
}

void tst_Drawing::rocker_releaseOutside_flipsWithoutClick()
{
    RockerSwitch sw;
    sw.setCheckedLeft(false);
    sw.resize(80, 32);
    QSignalSpy clicked(&sw, &RockerSwitch::clicked);

    QTest::mousePress(&sw, Qt::LeftButton, {}, QPoint(60, 12));
    QTest::mouseRelease(&sw, Qt::LeftButton, {}, QPoint(200, 12));
    QVERIFY(sw.isChecked());
    QCOMPARE(clicked.count(), 0);
}

void tst_Drawing::rocker_setFromCode_neverClicks()
{
    RockerSwitch sw;
    QSignalSpy clicked(&sw, &RockerSwitch::clicked);
    QSignalSpy toggled(&sw, &RockerSwitch::toggled);
    sw.setChecked(true);
    sw.setChecked(true);
    sw.setChecked(false);
    QCOMPARE(clicked.count(), 0);
    QCOMPARE(toggled.count(), 2);
    QCOMPARE(sw.focusPolicy(), Qt::NoFocus);
}

void tst_Drawing::rocker_rightButton_doesNothing()
{
    RockerSwitch sw;
    sw.setCheckedLeft(false);
    sw.resize(80, 32);
    QSignalSpy clicked(&sw, &RockerSwitch::clicked);
    QTest::mousePress(&sw, Qt::RightButton, {}, QPoint(60, 12));
    QTest::mouseRelease(&sw, Qt::RightButton, {}, QPoint(60, 12));
    QVERIFY(!sw.isChecked());
    QCOMPARE(clicked.count(), 0);
}

void tst_Drawing::checkBox_setChecked_firesChangedOnlyOnRealChange()
{
    ScbCheckBox box(QStringLiteral("Show Scb Border"));
    QSignalSpy changed(&box, &ScbCheckBox::changed);
    box.setChecked(false);
    QCOMPARE(changed.count(), 0);
    box.setChecked(true);
    QCOMPARE(changed.count(), 1);
    box.setChecked(true);
    QCOMPARE(changed.count(), 1);
    box.setChecked(false);
    QCOMPARE(changed.count(), 2);
}

void tst_Drawing::checkBox_mouseClick_changesThenClicks()
{
    ScbCheckBox box(QStringLiteral("Show Scb Border"));
    box.resize(193, 17);
    QStringList events;
    connect(&box, &ScbCheckBox::changed, &box, [&] { events << QStringLiteral("changed"); });
    connect(&box, &ScbCheckBox::clicked, &box, [&] { events << QStringLiteral("clicked"); });
    // Far right of the caption still belongs to the box.
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(180, 8));
    QVERIFY(box.isChecked());
    QCOMPARE(events, (QStringList{QStringLiteral("changed"), QStringLiteral("clicked")}));
}

void tst_Drawing::checkBox_spaceBar_toggles()
{
    ScbCheckBox box(QStringLiteral("Show Scb Border"));
    box.resize(193, 17);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    box.setFocus();
    QSignalSpy changed(&box, &ScbCheckBox::changed);
    QTest::keyClick(&box, Qt::Key_Space);
    QVERIFY(box.isChecked());
    QTest::keyClick(&box, Qt::Key_Space);
    QVERIFY(!box.isChecked());
    QCOMPARE(changed.count(), 2);
}

void tst_Drawing::checkBox_paintsNoBackground()
{
    GradientWindow window;
    window.resize(513, 430);
    auto *box = new ScbCheckBox(QStringLiteral("Show Scb Border"), &window);
    box->setGeometry(312, 296, 193, 17);
    const QImage image = window.grab().toImage();
    // Right of the caption and left of the glyph, the gradient shows.
    QCOMPARE(pixel(image, 312 + 190, 296 + 8), pixel(image, 300, 296 + 8));
    QCOMPARE(pixel(image, 312, 296 + 8), pixel(image, 300, 296 + 8));
}

void tst_Drawing::classicButton_raisedEdgeAndFrame_data()
{
    QTest::addColumn<bool>("isDefault");
    QTest::addColumn<bool>("down");
    QTest::addColumn<int>("edge"); // where the raised edge starts
    QTest::newRow("plain") << false << false << 0;
    QTest::newRow("default") << true << false << 1;
    QTest::newRow("pressed") << false << true << 0;
}

void tst_Drawing::classicButton_raisedEdgeAndFrame()
{
    QFETCH(bool, isDefault);
    QFETCH(bool, down);
    QFETCH(int, edge);

    ClassicButton button(QStringLiteral("Close"));
    button.resize(75, 25);
    button.setDefault(isDefault);
    button.setDown(down);
    const QImage image = button.grab().toImage();
    const int r = 74 - edge, b = 24 - edge;

    if (isDefault) {
        QCOMPARE(pixel(image, 0, 0), role(button, QPalette::Shadow));
        QCOMPARE(pixel(image, 74, 24), role(button, QPalette::Shadow));
    }
    if (down) {
        QCOMPARE(pixel(image, edge, edge), rgb(0, 0, 0));
        QCOMPARE(pixel(image, r, b), rgb(0, 0, 0));
        QCOMPARE(pixel(image, edge + 1, edge + 1), rgb(128, 128, 128));
        QCOMPARE(pixel(image, r - 1, b - 1), rgb(128, 128, 128));
    } else {
        QCOMPARE(pixel(image, edge, edge + 5), role(button, QPalette::Light));
        QCOMPARE(pixel(image, edge + 5, edge), role(button, QPalette::Light));
        QCOMPARE(pixel(image, r, b - 5), role(button, QPalette::Shadow));
        QCOMPARE(pixel(image, r - 1, b - 5), role(button, QPalette::Dark));
        QCOMPARE(pixel(image, edge + 1, edge + 5), role(button, QPalette::Button));
    }
}

void tst_Drawing::grid_rowDrawsLikeTextBox_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("plain") << QByteArray("TIME: 12:34.56 Wg");
    QTest::newRow("tabs") << QByteArray("a\tb\t\tc");
    QTest::newRow("lone CR") << QByteArray("A\rB");
    QTest::newRow("right-to-left first") << QByteArray("\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D world 12");
    // The row keeps only what it can show: the cut is never seen.
    QTest::newRow("runaway line") << QByteArray(int(scb::MaxRowChars) * 2, 'W');
}

void tst_Drawing::grid_rowDrawsLikeTextBox()
{
    QFETCH(QByteArray, bytes);
    ScbGrid grid;
    grid.resize(700, 100);
    grid.setColumnWidth(700);
    grid.setRowHeight(100);
    grid.setCell(0, scb::makeRowLine(bytes.toStdString()));
    // Twice: the second paint draws the layout kept from the first.
    (void)grid.grab();
    const QImage got = grid.grab().toImage().convertToFormat(QImage::Format_RGB32);

    // The classic cell routine: the whole text drawn into a box two pixels in
    // from the left, flush with the top, one line, tabs expanded.
    QImage want(grid.size(), QImage::Format_RGB32);
    want.fill(grid.gridColor());
    QPainter painter(&want);
    painter.setLayoutDirection(grid.layoutDirection());
    painter.setClipRect(grid.cellRect(0));
    painter.setFont(grid.gridFont());
    painter.setPen(Qt::yellow);
    painter.drawText(QRect(2, 0, 1 << 20, 1 << 20), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextExpandTabs,
                     QString::fromStdString(scb::decodeLine(bytes.toStdString())));
    painter.end();
    QCOMPARE(got, want);
}

QTEST_MAIN(tst_Drawing)
#include "tst_Drawing.moc"
