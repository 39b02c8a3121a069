// An X11 desktop scaled to 200 % (Xft.dpi 192): the operator's 1600 x 1200
// monitor and a 3840 x 2160 projector right of it, as xrandr shows them. The
// operator types the projector's rectangle and the board covers it.

#include "OffscreenScreens.h"
#include "WindowFixture.h"

#include <QScreen>

class tst_ScaledDesktop : public QObject
{
    Q_OBJECT

private slots:
    void boardRect_isInDesktopPixels();
};

void tst_ScaledDesktop::boardRect_isInDesktopPixels()
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    QCOMPARE(screens.size(), 2);
    // The toolkit's units: each screen keeps its desktop origin, sizes halve.
    QCOMPARE(screens.at(1)->geometry(), QRect(1600, 0, 1920, 1080));

    WindowFixture w;
    w.start();
    w.tick();
    w.child<SpinEdit>("ScreenLeft")->setValue(1600);
    w.child<SpinEdit>("ScreenWidth")->setValue(3840);
    w.child<SpinEdit>("ScreenHeight")->setValue(2160);
    QTest::keyClick(w.form.get(), Qt::Key_F8);
    QCOMPARE(w.results->geometry(), QRect(1600, 0, 1920, 1080));
    QTRY_COMPARE(w.results->screen(), screens.at(1));
    // Right nudges by 10 desktop pixels too.
    QTest::keyClick(w.results.get(), Qt::Key_Right);
    QCOMPARE(w.results->pos(), QPoint(1605, 0));
}

int main(int argc, char **argv)
{
    // Scaled as the X11 layer scales: from the screens' logical DPI.
    return execOnScreens<tst_ScaledDesktop>(argc, argv,
                                            {offscreenScreen("operator", 0, 1600, 1200, 192),
                                             offscreenScreen("projector", 1600, 3840, 2160, 192)});
}

#include "tst_ScaledDesktop.moc"
