// A venue's usual set-up: the operator's monitor at 0, 0 (800 wide) and the
// projector to its right. The default board at 801, 0 lands on the projector;
// boxes stay on the operator's monitor.

#include "OffscreenScreens.h"
#include "WindowFixture.h"
#include "adapters/Dialogs.h"

#include <QCursor>
#include <QDialog>
#include <QScreen>
#include <QTimer>

class tst_TwoScreens : public QObject
{
    Q_OBJECT

private slots:
    void defaultBoard_liesOnSecondScreen();
    void boxes_modalAndCentredOnOperatorScreen_data();
    void boxes_modalAndCentredOnOperatorScreen();
};

void tst_TwoScreens::defaultBoard_liesOnSecondScreen()
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    QCOMPARE(screens.size(), 2);
    WindowFixture w;
    w.start();
    w.tick();
    QTest::keyClick(w.form.get(), Qt::Key_F8);
    QCOMPARE(w.results->geometry(), QRect(801, 0, 800, 600));
    QCOMPARE(QGuiApplication::screenAt(w.results->geometry().topLeft()), screens.at(1));
    QVERIFY(screens.at(1)->geometry().contains(w.results->geometry()));
    QTRY_COMPARE(w.results->screen(), screens.at(1));
}

enum BoxCase { PictureAtStartUp, PictureWithBoardShown, ErrorBox };

void tst_TwoScreens::boxes_modalAndCentredOnOperatorScreen_data()
{
    QTest::addColumn<int>("boxCase");
    // At start-up the hidden board still has its design rectangle on the projector.
    QTest::newRow("picture error at start-up") << int(PictureAtStartUp);
    QTest::newRow("picture error, board shown") << int(PictureWithBoardShown);
    QTest::newRow("error box, pointer on the projector") << int(ErrorBox);
}

void tst_TwoScreens::boxes_modalAndCentredOnOperatorScreen()
{
    QFETCH(int, boxCase);

    // The real boxes, answered from inside their modal loop.
    QTemporaryDir dir;
    const QString oldCwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const QString bad = dir.filePath("bad.bmp");
    QFile badFile(bad);
    QVERIFY(badFile.open(QIODevice::WriteOnly));
    badFile.write("not a bitmap");
    badFile.close();
    if (boxCase == PictureAtStartUp) {
        QFile ini(dir.filePath("Resolution.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Settings]\r\nBackgroundImage=" + QFile::encodeName(bad) + "\r\n");
    }
    QCursor::setPos(1500, 500);
    QRect box;
    bool modal = false;
    auto answer = [&] {
        QTimer::singleShot(0, [&] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                box = dialog->frameGeometry();
                modal = dialog->isModal();
                dialog->accept();
            }
        });
    };

    TSCBForm form;
    TResultsForm results;
    form.setResultsForm(&results);
    if (boxCase == PictureAtStartUp)
        answer();
    form.show();
    if (boxCase == PictureWithBoardShown) {
        QVERIFY(QMetaObject::invokeMethod(&form, "Timer1Timer", Qt::DirectConnection));
        QTest::keyClick(&form, Qt::Key_F8);
        QCOMPARE(results.screen(), QGuiApplication::screens().at(1));
        form.state().Choices.Look.BackgroundImagePath = QFile::encodeName(bad).toStdString();
        answer();
        QVERIFY(QMetaObject::invokeMethod(&form, "LoadBackgroundImage", Qt::DirectConnection));
    } else if (boxCase == ErrorBox) {
        answer();
        Application::reportError(QStringLiteral("File access denied"));
    }
    QDir::setCurrent(oldCwd);

    QVERIFY(!box.isNull());
    QVERIFY(modal);
    const QRect operatorArea = QGuiApplication::screens().at(0)->availableGeometry();
    QVERIFY2(qAbs(box.center().x() - operatorArea.center().x()) <= 1 &&
                 qAbs(box.center().y() - operatorArea.center().y()) <= 1,
             qPrintable(QStringLiteral("box at %1,%2 %3x%4")
                            .arg(box.x())
                            .arg(box.y())
                            .arg(box.width())
                            .arg(box.height())));
}

int main(int argc, char **argv)
{
    // Two virtual screens side by side.
    return execOnScreens<tst_TwoScreens>(
        argc, argv, {offscreenScreen("operator", 0, 800, 600), offscreenScreen("projector", 800, 1920, 1080)});
}

#include "tst_TwoScreens.moc"
