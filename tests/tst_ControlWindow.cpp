// The operator's console: the rectangle follows every keystroke, the switch
// and a drop do what the crew expects, and the pointer hides on the board.

#include "WindowFixture.h"

#include <QMimeData>
#include <QUrl>

class tst_ControlWindow : public QObject
{
    Q_OBJECT

private slots:
    void typingWidth_resizesBoardAtEveryKeystroke();
    void switchClick_showsAndHidesBoard();
    void switchReleaseOutside_flipsWithoutShowing();
    void dropThreeFiles_setsPathToFirst();
    void dropOfOnlyTooLongPaths_isIgnored();
    void pointer_hidesAfterRest_showsWhenControlWindowActivated();
    void pointer_movingKeepsItVisible();
    void pointer_otherApplicationThenBoard_startsOnlyOnBoard();
    void closeButton_writesSettingsAndCloses();
};

void tst_ControlWindow::typingWidth_resizesBoardAtEveryKeystroke()
{
    WindowFixture w;
    w.start();
    w.tick();
    SpinEdit *width = w.child<SpinEdit>("ScreenWidth");
    width->setFocus();
    width->selectAll();
    QList<int> widths;
    QObject::connect(width, &SpinEdit::changed, [&] { widths << w.results->width(); });
    QTest::keyClicks(width, "640");
    QCOMPARE(widths, (QList<int>{6, 64, 640}));
    QCOMPARE(w.results->width(), 640);
    QCOMPARE(w.grid()->columnWidth(), 640);
}

void tst_ControlWindow::switchClick_showsAndHidesBoard()
{
    WindowFixture w;
    w.start();
    w.tick();
    RockerSwitch *sw = w.child<RockerSwitch>("ResultsButton");
    const QPoint right(sw->width() - 10, sw->height() / 2);
    const QPoint left(10, sw->height() / 2);
    QTest::mouseClick(sw, Qt::LeftButton, {}, right);
    QVERIFY(sw->isChecked());
    QVERIFY(w.results->isVisible());
    QCOMPARE(w.results->geometry(), QRect(801, 0, 800, 600));
    // A press on the current state's half changes nothing, but the click
    // still re-applies the layout.
    w.results->move(900, 50);
    QTest::mouseClick(sw, Qt::LeftButton, {}, right);
    QVERIFY(w.results->isVisible());
    QCOMPARE(w.results->pos(), QPoint(801, 0));
    QTest::mouseClick(sw, Qt::LeftButton, {}, left);
    QVERIFY(!sw->isChecked());
    QVERIFY(!w.results->isVisible());
}

void tst_ControlWindow::switchReleaseOutside_flipsWithoutShowing()
{
    WindowFixture w;
    w.start();
    w.tick();
    RockerSwitch *sw = w.child<RockerSwitch>("ResultsButton");
    QTest::mousePress(sw, Qt::LeftButton, {}, QPoint(sw->width() - 10, 10));
    QVERIFY(sw->isChecked());
    QTest::mouseRelease(sw, Qt::LeftButton, {}, QPoint(sw->width() + 40, 10));
    QVERIFY(!w.results->isVisible());
}

void tst_ControlWindow::dropThreeFiles_setsPathToFirst()
{
    WindowFixture w;
    w.start();
    const QStringList paths{w.path("first.txt"), w.path("second.txt"), w.path("third.txt")};
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString &p : paths)
        urls << QUrl::fromLocalFile(p);
    mime.setUrls(urls);
    QWidget *target = w.child<ScbGroupBox>("GroupBox2"); // a child of the served panel
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    QCOMPARE(w.child<FileOpenEdit>("XMLFile")->filename(), paths.first());
}

void tst_ControlWindow::dropOfOnlyTooLongPaths_isIgnored()
{
    WindowFixture w;
    w.start();
    w.child<FileOpenEdit>("XMLFile")->setFilename(QStringLiteral("keep.txt"));
    auto *drop = w.child<FileDropTarget>("LMDFMDrop1");
    emit drop->fmDragDrop(drop, 1, 0, 0, {});
    QCOMPARE(w.child<FileOpenEdit>("XMLFile")->filename(), QStringLiteral("keep.txt"));
}

void tst_ControlWindow::pointer_hidesAfterRest_showsWhenControlWindowActivated()
{
    WindowFixture w;
    w.start();
    w.tick();
    QPoint mouse(1000, 300);
    w.form->mousePos = [&mouse] { return mouse; };
    QApplication::setActiveWindow(w.form.get());
    QVERIFY(!w.child<QTimer>("CursorTimer")->isActive());
    QTest::keyClick(w.form.get(), Qt::Key_F8);
    QApplication::setActiveWindow(w.results.get());
    QVERIFY(w.child<QTimer>("CursorTimer")->isActive());

    QVERIFY(w.call("CursorTimerTimer")); // first still tick: position stored
    QVERIFY(!w.form->pointerHidden());
    QVERIFY(w.call("CursorTimerTimer")); // second still tick: hidden
    QVERIFY(w.form->pointerHidden());
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BlankCursor);

    QApplication::setActiveWindow(w.form.get());
    QVERIFY(!w.form->pointerHidden());
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(!w.child<QTimer>("CursorTimer")->isActive());
}

void tst_ControlWindow::pointer_movingKeepsItVisible()
{
    WindowFixture w;
    w.start();
    QPoint mouse(1000, 300);
    w.form->mousePos = [&mouse] { return mouse; };
    for (int tick = 0; tick < 5; ++tick) {
        mouse.rx() += 1;
        QVERIFY(w.call("CursorTimerTimer"));
        QVERIFY(!w.form->pointerHidden());
    }
    QVERIFY(w.call("CursorTimerTimer"));
    QVERIFY(w.form->pointerHidden());
    mouse.ry() += 1;
    QVERIFY(w.call("CursorTimerTimer"));
    QVERIFY(!w.form->pointerHidden());
}

void tst_ControlWindow::pointer_otherApplicationThenBoard_startsOnlyOnBoard()
{
    WindowFixture w;
    w.start();
    w.tick();
    QTest::keyClick(w.form.get(), Qt::Key_F8);
    QApplication::setActiveWindow(w.form.get());
    QVERIFY(!w.child<QTimer>("CursorTimer")->isActive());
    QApplication::setActiveWindow(nullptr);
    QVERIFY(!w.child<QTimer>("CursorTimer")->isActive());
    QVERIFY(!w.form->pointerHidden());
    // From the other application straight onto the board.
    QApplication::setActiveWindow(w.results.get());
    QVERIFY(w.child<QTimer>("CursorTimer")->isActive());
}

void tst_ControlWindow::closeButton_writesSettingsAndCloses()
{
    WindowFixture w;
    w.start();
    QTest::mouseClick(w.child<ClassicButton>("ButtonClose"), Qt::LeftButton);
    QVERIFY(!w.form->isVisible());
    QVERIFY(QFile::exists(w.path("Resolution.ini")));
}

SCB_WINDOW_TEST_MAIN(tst_ControlWindow)
#include "tst_ControlWindow.moc"
