// A venue's usual set-up: the operator's monitor at 0, 0 (800 wide) and the
// projector to its right. The default board at 801, 0 lands on the projector.

#include "WindowFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScreen>
#include <QTemporaryFile>

class tst_TwoScreens : public QObject
{
    Q_OBJECT

private slots:
    void defaultBoard_liesOnSecondScreen();
};

void tst_TwoScreens::defaultBoard_liesOnSecondScreen()
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    QCOMPARE(screens.size(), 2);
    WindowFixture w;
    w.start();
    w.form->Timer1Timer();
    QTest::keyClick(w.form.get(), Qt::Key_F8);
    QCOMPARE(w.results->geometry(), QRect(801, 0, 800, 600));
    QCOMPARE(QGuiApplication::screenAt(w.results->geometry().topLeft()), screens.at(1));
    QVERIFY(screens.at(1)->geometry().contains(w.results->geometry()));
    QTRY_COMPARE(w.results->screen(), screens.at(1));
}

int main(int argc, char **argv)
{
    // Two virtual screens side by side, described to the offscreen platform
    // before the application starts.
    auto screen = [](const char *name, int x) {
        return QJsonObject{{"name", name}, {"x", x}, {"y", 0}, {"width", x == 0 ? 800 : 1920},
                           {"height", x == 0 ? 600 : 1080}, {"logicalDpi", 96}, {"logicalBaseDpi", 96},
                           {"dpr", 1}};
    };
    const QJsonObject config{{"screens", QJsonArray{screen("operator", 0), screen("projector", 800)}}};
    QTemporaryFile file(QDir::tempPath() + "/scb-screens-XXXXXX.json");
    if (!file.open())
        return 1;
    file.write(QJsonDocument(config).toJson());
    file.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(file.fileName()));

    Application app(argc, argv);
    tst_TwoScreens tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_TwoScreens.moc"
