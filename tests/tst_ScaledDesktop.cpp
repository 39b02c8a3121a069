// An X11 desktop scaled to 200 % (Xft.dpi 192): the operator's 1600 x 1200
// monitor and a 3840 x 2160 projector right of it, as xrandr shows them. The
// operator types the projector's rectangle and the board covers it.

#include "WindowFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScreen>
#include <QTemporaryFile>

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
    w.form->Timer1Timer();
    w.form->ScreenLeft->setValue(1600);
    w.form->ScreenWidth->setValue(3840);
    w.form->ScreenHeight->setValue(2160);
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
    auto screen = [](const char *name, int x, int width, int height) {
        return QJsonObject{{"name", name},         {"x", x},           {"y", 0},
                           {"width", width},       {"height", height}, {"logicalDpi", 192},
                           {"logicalBaseDpi", 96}, {"dpr", 1}};
    };
    const QJsonObject config{
        {"screens", QJsonArray{screen("operator", 0, 1600, 1200), screen("projector", 1600, 3840, 2160)}}};
    QTemporaryFile file(QDir::tempPath() + "/scb-screens-XXXXXX.json");
    if (!file.open())
        return 1;
    file.write(QJsonDocument(config).toJson());
    file.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(file.fileName()));

    Application app(argc, argv);
    tst_ScaledDesktop tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_ScaledDesktop.moc"
