#include <QTest>

#include "core/Desktop.h"

using namespace scb;

Q_DECLARE_METATYPE(scb::Rect)
Q_DECLARE_METATYPE(scb::FrameMargins)
Q_DECLARE_METATYPE(std::vector<scb::DesktopScreen>)

namespace QTest {
template<> char *toString(const scb::Rect &r)
{
    return qstrdup(QString::asprintf("Rect(%d,%d %dx%d)", r.x, r.y, r.width, r.height).toUtf8().constData());
}
} // namespace QTest

namespace {

// The environment value as the program sees it: a null array is unset.
const char *env(const QByteArray &value)
{
    return value.isNull() ? nullptr : value.constData();
}

// An X11 desktop at Xft.dpi 192: the operator's 1600 x 1200 monitor and a
// 3840 x 2160 projector right of it, as the toolkit reports them.
const std::vector<DesktopScreen> Scaled{{{0, 0, 800, 600}, 2.0}, {{1600, 0, 1920, 1080}, 2.0}};

} // namespace

class tst_Desktop : public QObject
{
    Q_OBJECT

private slots:
    void wantsX11Layer_onlyUnderWaylandWithXWayland_data();
    void wantsX11Layer_onlyUnderWaylandWithXWayland();
    void desktopToWindow_scalesFromTheScreensOrigin_data();
    void desktopToWindow_scalesFromTheScreensOrigin();
    void centredClientOrigin_centresFrameIncluded_data();
    void centredClientOrigin_centresFrameIncluded();
};

void tst_Desktop::wantsX11Layer_onlyUnderWaylandWithXWayland_data()
{
    QTest::addColumn<QByteArray>("qpaPlatform");
    QTest::addColumn<QByteArray>("waylandDisplay");
    QTest::addColumn<QByteArray>("display");
    QTest::addColumn<bool>("x11");

    QTest::newRow("Wayland with XWayland") << QByteArray() << QByteArray("wayland-0") << QByteArray(":0") << true;
    QTest::newRow("X11 session") << QByteArray() << QByteArray() << QByteArray(":0") << false;
    QTest::newRow("Wayland without XWayland") << QByteArray() << QByteArray("wayland-0") << QByteArray() << false;
    QTest::newRow("operator's choice kept") << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0")
                                            << false;
    QTest::newRow("empty choice is no choice") << QByteArray("") << QByteArray("wayland-0") << QByteArray(":0")
                                               << true;
}

void tst_Desktop::wantsX11Layer_onlyUnderWaylandWithXWayland()
{
    QFETCH(QByteArray, qpaPlatform);
    QFETCH(QByteArray, waylandDisplay);
    QFETCH(QByteArray, display);
    QFETCH(bool, x11);
    QCOMPARE(wantsX11Layer(env(qpaPlatform), env(waylandDisplay), env(display)), x11);
}

void tst_Desktop::desktopToWindow_scalesFromTheScreensOrigin_data()
{
    QTest::addColumn<std::vector<DesktopScreen>>("screens");
    QTest::addColumn<Rect>("desktop");
    QTest::addColumn<Rect>("window");
    QTest::addColumn<Rect>("landed");

    const std::vector<DesktopScreen> unscaled{{{0, 0, 800, 600}, 1.0}, {{800, 0, 1920, 1080}, 1.0}};
    QTest::newRow("unscaled: the same") << unscaled << Rect{801, 0, 800, 600} << Rect{801, 0, 800, 600}
                                        << Rect{801, 0, 800, 600};
    QTest::newRow("scaled: operator's screen") << Scaled << Rect{100, 50, 800, 600} << Rect{50, 25, 400, 300}
                                               << Rect{100, 50, 800, 600};
    QTest::newRow("scaled: the whole projector as xrandr shows it")
        << Scaled << Rect{1600, 0, 3840, 2160} << Rect{1600, 0, 1920, 1080} << Rect{1600, 0, 3840, 2160};
    QTest::newRow("scaled: inside the projector") << Scaled << Rect{2600, 100, 800, 600} << Rect{2100, 50, 400, 300}
                                                  << Rect{2600, 100, 800, 600};
    // The centre decides: this one starts on the unscaled screen.
    const std::vector<DesktopScreen> mixed{{{0, 0, 800, 600}, 1.0}, {{800, 0, 960, 540}, 2.0}};
    QTest::newRow("mixed: centre on the scaled screen") << mixed << Rect{700, 0, 400, 300} << Rect{750, 0, 200, 150}
                                                        << Rect{700, 0, 400, 300};
    QTest::newRow("off every screen: the first one's scale")
        << Scaled << Rect{10000, 10000, 100, 100} << Rect{5000, 5000, 50, 50} << Rect{10000, 10000, 100, 100};
    // Out of reach: the nearest pixel the scale allows, half up.
    QTest::newRow("scale 2: odd goes to the next even") << Scaled << Rect{801, 1, 801, 599} << Rect{401, 1, 401, 300}
                                                         << Rect{802, 2, 802, 600};
    QTest::newRow("scale 2: even counted from the projector's edge")
        << Scaled << Rect{1601, 0, 800, 600} << Rect{1601, 0, 400, 300} << Rect{1602, 0, 800, 600};
    // Xft.dpi 144: a 2400 x 1200 monitor.
    const std::vector<DesktopScreen> oneAndHalf{{{0, 0, 1600, 800}, 1.5}};
    QTest::newRow("scale 1.5: one pixel in three out of reach")
        << oneAndHalf << Rect{811, 0, 800, 600} << Rect{541, 0, 533, 400} << Rect{812, 0, 800, 600};
    QTest::newRow("scale 1.5: within reach") << oneAndHalf << Rect{821, 0, 800, 600} << Rect{547, 0, 533, 400}
                                             << Rect{821, 0, 800, 600};
}

void tst_Desktop::desktopToWindow_scalesFromTheScreensOrigin()
{
    QFETCH(std::vector<DesktopScreen>, screens);
    QFETCH(Rect, desktop);
    QFETCH(Rect, window);
    QFETCH(Rect, landed);
    QCOMPARE(desktopToWindow(desktop, screens), window);
    QCOMPARE(windowToDesktop(window, screens), landed);
}

void tst_Desktop::centredClientOrigin_centresFrameIncluded_data()
{
    QTest::addColumn<Rect>("area");
    QTest::addColumn<FrameMargins>("frame");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");

    // The control window's 513 x 430 client area.
    QTest::newRow("no frame") << Rect{0, 0, 2400, 800} << FrameMargins{} << 943 << 185;
    QTest::newRow("title bar 20, border 1, bottom 5: 7 px lower")
        << Rect{0, 0, 2400, 800} << FrameMargins{1, 20, 1, 5} << 943 << 192;
    QTest::newRow("second screen's work area") << Rect{800, 30, 1920, 1050} << FrameMargins{1, 20, 1, 5} << 1503
                                               << 347;
    QTest::newRow("larger than the area: title bar stays in")
        << Rect{0, 0, 400, 300} << FrameMargins{1, 20, 1, 5} << 1 << 20;
}

void tst_Desktop::centredClientOrigin_centresFrameIncluded()
{
    QFETCH(Rect, area);
    QFETCH(FrameMargins, frame);
    QFETCH(int, x);
    QFETCH(int, y);
    QCOMPARE(centredClientOrigin(area, 513, 430, frame), (Point{x, y}));
}

QTEST_APPLESS_MAIN(tst_Desktop)
#include "tst_Desktop.moc"
