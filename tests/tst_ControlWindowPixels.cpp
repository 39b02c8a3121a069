// The control window as it is drawn: the gradient through the transparent
// panels and boxes, the etched frames broken by their captions, and the
// switch in both states, checked on grabs of the whole window.

#include "WindowFixture.h"

#include <QFontMetrics>
#include <QImage>

namespace {

constexpr int ClearColumn = 5; // left of every box and label: nothing but gradient

QImage grabForm(TSCBForm &form)
{
    QCoreApplication::processEvents();
    return form.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QString colorText(const QColor &c)
{
    return QStringLiteral("(%1,%2,%3)").arg(c.red()).arg(c.green()).arg(c.blue());
}

// A box's top-left corner in window coordinates.
QPoint inWindow(QWidget *w, QWidget *window)
{
    return w->mapTo(window, QPoint(0, 0));
}

int captionWidth(ScbGroupBox *box)
{
    return QFontMetrics(box->captionFont(), box).size(Qt::TextSingleLine, box->caption()).width();
}

} // namespace

class tst_ControlWindowPixels : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void designSize_topAndBottomRowsAreGradientEnds();
    void designSize_noNavyPixelAnywhere();
    void gradient_insideGroupBoxMatchesBeside();
    void gradient_dependsOnRowOnly();
    void groupBox_frameTopLineBrokenByCaption_data();
    void groupBox_frameTopLineBrokenByCaption();
    void rocker_facesAtDesignPoints_data();
    void rocker_facesAtDesignPoints();
    void height100_rebuildsGradientOverNewHeight();

private:
    std::unique_ptr<WindowFixture> m_w;
};

void tst_ControlWindowPixels::init()
{
    m_w = std::make_unique<WindowFixture>();
    m_w->start();
    m_w->child<QTimer>("Timer1")->stop();
    QVERIFY(QTest::qWaitForWindowExposed(m_w->form.get()));
    QCOMPARE(m_w->form->size(), QSize(513, 430));
}

void tst_ControlWindowPixels::cleanup()
{
    m_w.reset();
}

void tst_ControlWindowPixels::designSize_topAndBottomRowsAreGradientEnds()
{
    const QImage img = grabForm(*m_w->form);
    QCOMPARE(img.size(), QSize(513, 430));
    for (int x = 0; x < img.width(); ++x) {
        QCOMPARE(img.pixelColor(x, 0), QColor(0, 128, 255));
        QCOMPARE(img.pixelColor(x, 1), QColor(0, 128, 255));
        QCOMPARE(img.pixelColor(x, 429), QColor(0, 0, 160));
    }
}

void tst_ControlWindowPixels::designSize_noNavyPixelAnywhere()
{
    const QImage img = grabForm(*m_w->form);
    const QColor navy(0, 0, 128);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y) == navy)
                QFAIL(qPrintable(QStringLiteral("navy at %1,%2").arg(x).arg(y)));
}

void tst_ControlWindowPixels::gradient_insideGroupBoxMatchesBeside()
{
    const QImage img = grabForm(*m_w->form);
    const QPoint box = inWindow(m_w->child<ScbGroupBox>("GroupBox2"), m_w->form.get());
    QCOMPARE(box, QPoint(24, 312));
    // Row 320 inside the box: right of its caption and above its buttons.
    const QColor beside = img.pixelColor(10, 320);
    QCOMPARE(img.pixelColor(400, 320), beside);
    QCOMPARE(img.pixelColor(box.x() + 2, 320), beside);
    QCOMPARE(img.pixelColor(495, 320), beside);
}

void tst_ControlWindowPixels::gradient_dependsOnRowOnly()
{
    // Spots where only panels and boxes lie over the gradient.
    const QImage img = grabForm(*m_w->form);
    const QList<QPoint> spots{{300, 10}, {300, 40}, {150, 95}, {300, 200}, {400, 100}, {470, 220},
                              {330, 270}, {150, 306}, {250, 385}, {400, 410}, {505, 300}};
    for (const QPoint &p : spots)
        QVERIFY2(img.pixelColor(p) == img.pixelColor(ClearColumn, p.y()),
                 qPrintable(QStringLiteral("%1,%2: %3 vs %4")
                                .arg(p.x())
                                .arg(p.y())
                                .arg(colorText(img.pixelColor(p)), colorText(img.pixelColor(ClearColumn, p.y())))));
}

void tst_ControlWindowPixels::groupBox_frameTopLineBrokenByCaption_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"LMDGroupBox1", "GroupBoxPreview", "GroupBox1", "GroupBox2", "GroupBox4"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void tst_ControlWindowPixels::groupBox_frameTopLineBrokenByCaption()
{
    QFETCH(QString, name);
    TSCBForm &form = *m_w->form;
    auto *box = form.findChild<ScbGroupBox *>(name);
    QVERIFY(box);
    const QImage img = grabForm(form);
    const QPoint origin = inWindow(box, &form);
    const int lineY = origin.y() + box->captionHeight() / 2 - 1;
    // Compared as plain RGB: the palette may hold its colours in another colour model.
    const QRgb shadow = box->palette().color(QPalette::Dark).rgb();
    const QRgb highlight = box->palette().color(QPalette::Light).rgb();
    auto at = [&](int boxX, int y) { return img.pixel(origin.x() + boxX, y); };
    auto gradient = [&](int y) { return img.pixel(ClearColumn, y); };

    // The frame's two top lines start at the box's left edge...
    QCOMPARE(at(0, lineY), shadow);
    QCOMPARE(at(2, lineY + 1), highlight);
    QCOMPARE(at(5, lineY), shadow);
    // ...stop two pixels before the caption...
    for (int x = 6; x < 8; ++x) {
        QCOMPARE(at(x, lineY), gradient(lineY));
        QCOMPARE(at(x, lineY + 1), gradient(lineY + 1));
    }
    // ...never show through it...
    const int captionEnd = std::min(8 + captionWidth(box), box->width());
    for (int x = 8; x < captionEnd; ++x) {
        QVERIFY2(at(x, lineY) != shadow, qPrintable(QString::number(x)));
    }
    // ...and resume right after it, where the box is wide enough.
    if (captionEnd < box->width() - 2) {
        QCOMPARE(at(captionEnd, lineY), shadow);
        QCOMPARE(at(box->width() - 3, lineY), shadow);
    }
    // The caption is there, in white, and fits inside the box.
    QVERIFY2(8 + captionWidth(box) <= box->width(), qPrintable(QString::number(captionWidth(box))));
    int white = 0;
    for (int y = origin.y(); y < origin.y() + box->captionHeight(); ++y)
        for (int x = 8; x < captionEnd; ++x)
            white += at(x, y) == qRgb(255, 255, 255);
    QVERIFY(white > 10);
}

void tst_ControlWindowPixels::rocker_facesAtDesignPoints_data()
{
    QTest::addColumn<bool>("checked");
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<QColor>("color");

    const QColor red(255, 0, 0);
    const QColor lime(0, 255, 0);
    const QColor silver(192, 192, 192);
    // Points well inside the faces of the table, clear of outline and caption.
    QTest::newRow("Closed flat left") << false << QPoint(5, 22) << red;
    QTest::newRow("Closed flat left top") << false << QPoint(20, 3) << red;
    QTest::newRow("Closed receding right") << false << QPoint(55, 15) << red;
    QTest::newRow("Closed receding lower right") << false << QPoint(70, 27) << red;
    QTest::newRow("Closed top face") << false << QPoint(70, 2) << silver;
    QTest::newRow("Closed side face") << false << QPoint(75, 15) << silver;
    QTest::newRow("Closed below body") << false << QPoint(20, 28) << QColor();
    QTest::newRow("Open flat right") << true << QPoint(74, 22) << lime;
    QTest::newRow("Open flat right top") << true << QPoint(58, 3) << lime;
    QTest::newRow("Open receding left") << true << QPoint(20, 15) << red;
    QTest::newRow("Open receding lower left") << true << QPoint(9, 27) << red;
    QTest::newRow("Open top face") << true << QPoint(8, 2) << silver;
    QTest::newRow("Open side face") << true << QPoint(3, 15) << silver;
    QTest::newRow("Open below body") << true << QPoint(60, 28) << QColor();
}

void tst_ControlWindowPixels::rocker_facesAtDesignPoints()
{
    QFETCH(bool, checked);
    QFETCH(QPoint, point);
    QFETCH(QColor, color);

    TSCBForm &form = *m_w->form;
    auto *rocker = m_w->child<RockerSwitch>("ResultsButton");
    rocker->setChecked(checked);
    const QImage img = grabForm(form);
    const QPoint origin = inWindow(rocker, &form);
    QCOMPARE(origin, QPoint(336 + 16, 224 + 24));
    const QPoint p = origin + point;
    // An invalid colour stands for "the gradient shows": the switch paints nothing there.
    const QColor expected = color.isValid() ? color : img.pixelColor(ClearColumn, p.y());
    QVERIFY2(img.pixelColor(p) == expected,
             qPrintable(colorText(img.pixelColor(p)) + QStringLiteral(" expected ") + colorText(expected)));
}

void tst_ControlWindowPixels::height100_rebuildsGradientOverNewHeight()
{
    TSCBForm &form = *m_w->form;
    form.resize(513, 100);
    QTRY_COMPARE(form.size(), QSize(513, 100));
    const QImage img = grabForm(form);
    QCOMPARE(img.height(), 100);
    for (int x = 0; x < img.width(); ++x) {
        QCOMPARE(img.pixelColor(x, 0), QColor(0, 127, 255));
        QCOMPARE(img.pixelColor(x, 99), QColor(0, 1, 160));
    }
    // Back at the design size the first rows are entry 0 again.
    form.resize(513, 430);
    QTRY_COMPARE(form.size(), QSize(513, 430));
    const QImage again = grabForm(form);
    QCOMPARE(again.pixelColor(0, 0), QColor(0, 128, 255));
    QCOMPARE(again.pixelColor(0, 429), QColor(0, 0, 160));
}

SCB_WINDOW_TEST_MAIN(tst_ControlWindowPixels)
#include "tst_ControlWindowPixels.moc"
