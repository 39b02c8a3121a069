// The two windows together: start-up, the live feed, F8, the scoreboard's
// layout and painting, and the error model.

#include "WindowFixture.h"
#include "core/Error.h"
#include "core/Version.h"
#include "widgets/FileOpenEdit.h"
#include "widgets/PreviewMemo.h"
#include "widgets/RockerSwitch.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBlock>
#include <QTimer>

#include <csignal>
#include <utility>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray numberedFile(int lines, const QByteArray &first = QByteArray())
{
    QByteArray out;
    for (int i = 0; i < lines; ++i)
        out += (i == 0 && !first.isEmpty() ? first : QByteArray("line ") + QByteArray::number(i)) + "\r\n";
    return out;
}

// Moves the file's modification time so the next tick sees a new stamp.
void touchForward(const QString &path, int seconds)
{
    struct stat st{};
    QVERIFY(::stat(QFile::encodeName(path).constData(), &st) == 0);
    timespec times[2] = {st.st_atim, st.st_mtim};
    times[1].tv_sec += seconds;
    QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0);
}

// A child process that holds the file open for writing until killed.
pid_t holdOpenForWriting(const QString &path)
{
    int ready[2];
    if (::pipe(ready) != 0)
        return -1;
    const QByteArray p = QFile::encodeName(path);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ready[0]);
        const int fd = ::open(p.constData(), O_WRONLY | O_APPEND);
        const char c = fd >= 0 ? 'y' : 'n';
        (void)!::write(ready[1], &c, 1);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char c = 0;
    (void)!::read(ready[0], &c, 1);
    ::close(ready[0]);
    return c == 'y' ? pid : -1;
}

void stopChild(pid_t pid)
{
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

int countColor(const QImage &img, const QRect &area, const QColor &color)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += img.pixelColor(x, y) == color;
    return n;
}

bool isReddish(const QColor &c)
{
    return c.red() > 150 && c.green() < 120 && c.blue() < 120;
}

} // namespace

class tst_Windows : public QObject
{
    Q_OBJECT

private slots:
    void startup_withMainTxt_loadsPreviewAndFeedsRowsAtFirstTick();
    void startup_retitlesControlWindow();
    void rewrite_changesRowsAtNextTick();
    void writerHoldingFile_reportsFailure_thenNextTickLoads();
    void previewEdit_reachesBoardAtNextTick_untilFileChanges();
    void f8_togglesScoreboardAndSwitch_data();
    void f8_togglesScoreboardAndSwitch();
    void f8_autoRepeat_doesNotCount();
    void scoreboard_defaultGeometry();
    void rowHeights_followWindowHeightAndBorder_data();
    void rowHeights_followWindowHeightAndBorder();
    void rightKey_movesBoard_nextLayoutPutsItBack();
    void closingScoreboard_turnsSwitchOff();
    void grabRow_showsBackgroundAndRedText();
    void mixedEncodings_previewMatchesBoard_paintsGlyphs();
    void boardView_followsRowsLookPictureAndVisibility();
    void exceptionInHandler_showsErrorBoxAndCarriesOn();
    void errorBoxWithWayOut_realBox_data();
    void errorBoxWithWayOut_realBox();
    void loneMinusInSpinEdit_reachesErrorBox();
};

void tst_Windows::startup_withMainTxt_loadsPreviewAndFeedsRowsAtFirstTick()
{
    WindowFixture w;
    const QByteArray text = numberedFile(6);
    w.writeFile("Main.txt", text);
    w.start();
    QCOMPARE(w.child<FileOpenEdit>("XMLFile")->filename(), w.path("Main.txt"));
    QVERIFY(w.child<QTimer>("Timer1")->isActive());
    QVERIFY(w.form->state().Starting);

    w.tick();
    QVERIFY(!w.form->state().Starting);
    QCOMPARE(QByteArray::fromStdString(w.form->board().lines().text()), text);
    QCOMPARE(w.row(0), QStringLiteral("line 3"));
    QCOMPARE(w.row(2), QStringLiteral("line 5"));
    QCOMPARE(w.row(3), QStringLiteral(""));  // the empty line after the final CR LF
    QCOMPARE(w.row(4), QStringLiteral(" "));
    QCOMPARE(w.row(11), QStringLiteral(" "));
    QVERIFY(w.child<QTimer>("Timer1")->isActive());
}

void tst_Windows::startup_retitlesControlWindow()
{
    WindowFixture w;
    w.start();
    QCOMPARE(w.form->windowTitle(), QStringLiteral("Torvane Zentrack Scoreboard Version ") + QLatin1String(scb::Version));
    QCOMPARE(QString::fromStdString(w.form->state().SettingsDir), QDir::currentPath());
    // No display file anywhere: the tick changes nothing.
    w.tick();
    QCOMPARE(w.row(0), QString());
    QCOMPARE(w.form->board().lines().count(), 16);
}

void tst_Windows::rewrite_changesRowsAtNextTick()
{
    WindowFixture w;
    w.writeFile("Main.txt", numberedFile(5, "TIME: 10:00"));
    w.start();
    w.tick();
    QCOMPARE(w.row(0), QStringLiteral("TIME: 10:00"));

    w.writeFile("Main.txt", numberedFile(5, "TIME: 10:01"));
    w.tick();
    QCOMPARE(w.row(0), QStringLiteral("TIME: 10:01"));
    QCOMPARE(w.row(4), QStringLiteral("line 4"));
    QCOMPARE(w.child<FileOpenEdit>("XMLFile")->toolTip(), QString());

    // A path that names nothing is no failure; only the path's hint says so.
    w.child<FileOpenEdit>("XMLFile")->setFilename(w.path("gone.txt"));
    w.tick();
    QCOMPARE(w.row(0), QStringLiteral("TIME: 10:01"));
    QCOMPARE(w.child<QLabel>("Label1")->text(), QString());
    QCOMPARE(w.child<FileOpenEdit>("XMLFile")->toolTip(), QStringLiteral("No such file"));
    w.child<FileOpenEdit>("XMLFile")->setFilename(w.path("Main.txt"));
    w.tick();
    QCOMPARE(w.child<FileOpenEdit>("XMLFile")->toolTip(), QString());
}

void tst_Windows::writerHoldingFile_reportsFailure_thenNextTickLoads()
{
    WindowFixture w;
    w.writeFile("Main.txt", numberedFile(5, "TIME: old"));
    w.start();
    w.tick();
    QCOMPARE(w.row(0), QStringLiteral("TIME: old"));

    w.writeFile("Main.txt", numberedFile(5, "TIME: new"));
    touchForward(w.path("Main.txt"), 10);
    const pid_t writer = holdOpenForWriting(w.path("Main.txt"));
    QVERIFY(writer > 0);
    w.tick();
    stopChild(writer);
    QCOMPARE(w.child<QLabel>("Label1")->text(), QStringLiteral("Last Failure at 14:07.33  Cnt:1"));
    QCOMPARE(w.row(0), QStringLiteral("TIME: old"));
    QVERIFY(w.child<QTimer>("Timer1")->isActive());

    w.tick();
    QCOMPARE(w.row(0), QStringLiteral("TIME: new"));
    // Success never clears the report.
    QCOMPARE(w.child<QLabel>("Label1")->text(), QStringLiteral("Last Failure at 14:07.33  Cnt:1"));
}

void tst_Windows::previewEdit_reachesBoardAtNextTick_untilFileChanges()
{
    WindowFixture w;
    w.writeFile("Main.txt", numberedFile(4, "TIME: 1"));
    w.start();
    w.tick();
    QCOMPARE(w.row(1), QStringLiteral("line 1"));

    QTextCursor cursor(w.child<PreviewMemo>("MainMemo")->document()->findBlockByNumber(1));
    cursor.movePosition(QTextCursor::EndOfBlock);
    w.child<PreviewMemo>("MainMemo")->setTextCursor(cursor);
    QTest::keyClicks(w.child<PreviewMemo>("MainMemo"), "!");
    QCOMPARE(std::string(w.form->board().lines().lineView(1)), std::string("line 1!"));
    QCOMPARE(w.row(1), QStringLiteral("line 1"));
    w.tick();
    QCOMPARE(w.row(1), QStringLiteral("line 1!"));

    w.writeFile("Main.txt", numberedFile(4, "TIME: 2"));
    touchForward(w.path("Main.txt"), 4);
    w.tick();
    QCOMPARE(w.row(0), QStringLiteral("TIME: 2"));
    QCOMPARE(w.row(1), QStringLiteral("line 1"));
    // A whole-text replacement puts the caret at the start.
    QCOMPARE(w.child<PreviewMemo>("MainMemo")->textCursor().position(), 0);
}

void tst_Windows::f8_togglesScoreboardAndSwitch_data()
{
    QTest::addColumn<QString>("where");
    QTest::newRow("control window") << "form";
    QTest::newRow("file edit focused") << "edit";
    QTest::newRow("memo focused") << "memo";
}

void tst_Windows::f8_togglesScoreboardAndSwitch()
{
    QFETCH(QString, where);
    WindowFixture w;
    w.start();
    w.tick();
    QWidget *target = w.form.get();
    if (where == "edit")
        target = w.child<FileOpenEdit>("XMLFile");
    else if (where == "memo")
        target = w.child<PreviewMemo>("MainMemo");

    QTest::keyClick(target, Qt::Key_F8);
    QVERIFY(w.results->isVisible());
    QVERIFY(w.child<RockerSwitch>("ResultsButton")->isChecked());

    // F8 in the scoreboard window hides it again.
    QTest::keyClick(w.results.get(), Qt::Key_F8);
    QVERIFY(!w.results->isVisible());
    QVERIFY(!w.child<RockerSwitch>("ResultsButton")->isChecked());

    QTest::keyClick(target, Qt::Key_F8);
    QVERIFY(w.results->isVisible());
    QTest::keyClick(target, Qt::Key_F8);
    QVERIFY(!w.results->isVisible());
}

void tst_Windows::f8_autoRepeat_doesNotCount()
{
    WindowFixture w;
    w.start();
    w.tick();
    QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_F8, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(w.form.get(), &repeat);
    QVERIFY(!w.results->isVisible());
    QKeyEvent real(QEvent::KeyRelease, Qt::Key_F8, Qt::NoModifier);
    QApplication::sendEvent(w.form.get(), &real);
    QVERIFY(w.results->isVisible());
}

void tst_Windows::scoreboard_defaultGeometry()
{
    WindowFixture w;
    w.start();
    w.tick();
    QTest::keyClick(w.form.get(), Qt::Key_F8);
    QCOMPARE(w.results->geometry(), QRect(801, 0, 800, 600));
    QCOMPARE(w.grid()->geometry(), QRect(0, 0, 800, 600));
    QVERIFY(w.results->windowFlags() & Qt::FramelessWindowHint);
}

void tst_Windows::rowHeights_followWindowHeightAndBorder_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("border");
    QTest::addColumn<int>("rowHeight");
    QTest::addColumn<int>("cellsBottom"); // in the grid's widget coordinates
    QTest::addColumn<int>("clientBottom");

    QTest::newRow("600 no border") << 600 << false << 50 << 600 << 600;
    QTest::newRow("605 no border: 5 px strip") << 605 << false << 50 << 600 << 605;
    // The border's 4 pixels come out of the cells' room: the last row is cut.
    QTest::newRow("600 border: last row cut") << 600 << true << 50 << 602 << 598;
    QTest::newRow("610 border: 2 px strip") << 610 << true << 50 << 602 << 608;
}

void tst_Windows::rowHeights_followWindowHeightAndBorder()
{
    QFETCH(int, height);
    QFETCH(bool, border);
    QFETCH(int, rowHeight);
    QFETCH(int, cellsBottom);
    QFETCH(int, clientBottom);

    WindowFixture w;
    w.start();
    w.tick();
    w.child<ScbCheckBox>("ScbBorder")->setChecked(border);
    w.child<SpinEdit>("ScreenHeight")->setValue(height);
    QCOMPARE(w.grid()->rowHeight(), rowHeight);
    QCOMPARE(w.grid()->hasBorder(), border);
    QCOMPARE(w.grid()->cellRect(11).bottom() + 1, cellsBottom);
    QCOMPARE(w.grid()->clientArea().bottom() + 1, clientBottom);
    QCOMPARE(w.grid()->columnWidth(), 800);

    // The sunken edge takes the outermost two columns and rows on every side;
    // the cells' background starts right inside it.
    const QImage img = w.grid()->grab().toImage();
    auto role = [&w](QPalette::ColorRole r) { return QColor(w.grid()->palette().color(QPalette::Active, r).rgb()); };
    const QColor back(255, 255, 128);
    const QList<QColor> topLeft = border ? QList<QColor>{role(QPalette::Mid), role(QPalette::Shadow), back}
                                         : QList<QColor>{back};
    const QList<QColor> bottomRight = border ? QList<QColor>{role(QPalette::Light), role(QPalette::Button), back}
                                             : QList<QColor>{back};
    const int right = img.width() - 1, bottom = img.height() - 1, midX = 700, midY = 290;
    for (int d = 0; d < topLeft.size(); ++d) {
        QCOMPARE(img.pixelColor(d, midY), topLeft[d]);
        QCOMPARE(img.pixelColor(midX, d), topLeft[d]);
        QCOMPARE(img.pixelColor(right - d, midY), bottomRight[d]);
        QCOMPARE(img.pixelColor(midX, bottom - d), bottomRight[d]);
    }
}

void tst_Windows::rightKey_movesBoard_nextLayoutPutsItBack()
{
    WindowFixture w;
    w.start();
    w.tick();
    QTest::keyClick(w.form.get(), Qt::Key_F8);
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(w.results.get(), Qt::Key_Right);
    QCOMPARE(w.results->x(), 851);
    QTest::keyClick(w.results.get(), Qt::Key_Left);
    QCOMPARE(w.results->x(), 841);
    w.child<ScbCheckBox>("ScbBorder")->setChecked(!w.child<ScbCheckBox>("ScbBorder")->isChecked());
    QCOMPARE(w.results->x(), 801);
}

void tst_Windows::closingScoreboard_turnsSwitchOff()
{
    WindowFixture w;
    w.start();
    w.tick();
    QTest::keyClick(w.form.get(), Qt::Key_F8);
    QVERIFY(w.child<RockerSwitch>("ResultsButton")->isChecked());
    w.results->close();
    QVERIFY(!w.results->isVisible());
    QVERIFY(!w.child<RockerSwitch>("ResultsButton")->isChecked());
    QVERIFY(w.form->isVisible());
}

void tst_Windows::grabRow_showsBackgroundAndRedText()
{
    WindowFixture w;
    w.writeFile("Main.txt", numberedFile(4, "TIME: WWWW"));
    w.start();
    w.child<ScbCheckBox>("ScbBorder")->setChecked(false);
    w.tick();
    QTest::keyClick(w.form.get(), Qt::Key_F8);
    const QImage img = w.grid()->grab().toImage();
    const QRect row0 = w.grid()->cellRect(0);
    const QColor paleYellow(255, 255, 128);
    QCOMPARE(img.pixelColor(row0.right() - 1, row0.top() + 1), paleYellow);
    int red = 0;
    for (int y = row0.top(); y <= row0.bottom(); ++y) {
        for (int x = row0.left(); x < row0.left() + 400; ++x) {
            const bool textPixel = isReddish(img.pixelColor(x, y));
            red += textPixel;
            if (x < 2)
                QVERIFY2(!textPixel, "text drawn left of x = 2");
        }
    }
    QVERIFY(red > 50);
    // Rows set to " " show only the background.
    QCOMPARE(countColor(img, w.grid()->cellRect(11), paleYellow), w.grid()->cellRect(11).width() * 50);
}

void tst_Windows::mixedEncodings_previewMatchesBoard_paintsGlyphs()
{
    WindowFixture w;
    // A 1252 line, then a UTF-8 one: each reads as itself, in both windows.
    w.writeFile("Main.txt", QByteArray("TIME:\r\n\xC4\xD6\r\nM\xC3\xBCller\r\n"));
    w.start();
    w.child<ScbCheckBox>("ScbBorder")->setChecked(false);
    w.tick();
    QCOMPARE(w.grid()->cellDisplayText(1), QString::fromUtf8("\u00C4\u00D6"));
    QCOMPARE(w.grid()->cellDisplayText(2), QString::fromUtf8("M\u00FCller"));
    const QTextDocument *memo = w.child<PreviewMemo>("MainMemo")->document();
    QCOMPARE(memo->findBlockByNumber(1).text(), w.grid()->cellDisplayText(1));
    QCOMPARE(memo->findBlockByNumber(2).text(), w.grid()->cellDisplayText(2));
    const QImage img = w.grid()->grab().toImage();
    const QRect row1 = w.grid()->cellRect(1);
    int red = 0;
    for (int y = row1.top(); y <= row1.bottom(); ++y)
        for (int x = row1.left(); x < row1.left() + 100; ++x)
            red += isReddish(img.pixelColor(x, y));
    QVERIFY2(red > 30, "the row painted no glyphs");
}

void tst_Windows::boardView_followsRowsLookPictureAndVisibility()
{
    WindowFixture w;
    w.writeFile("Main.txt", numberedFile(3, "TIME: 1"));
    w.start();
    w.tick();
    int changes = 0;
    bool shownAtChange = false; // as a listener hears it
    QObject::connect(w.form.get(), &TSCBForm::viewChanged, [&](const scb::BoardView &view) {
        ++changes;
        shownAtChange = view.shown;
    });
    auto changed = [&changes] { return std::exchange(changes, 0) > 0; };

    w.writeFile("Main.txt", QByteArray("TIME: 2\r\nR\xE9sultats \x80\r\n"));
    w.tick();
    QVERIFY(changed());
    scb::BoardView v = w.form->boardView();
    for (int r = 0; r < scb::RowCount; ++r)
        QCOMPARE(QString::fromStdString(v.rowText(r)), w.grid()->cellDisplayText(r));
    QCOMPARE(v.style.rowHeight, 50);
    QVERIFY(!v.shown);

    QTest::keyClick(w.form.get(), Qt::Key_F8);
    QVERIFY(changed());
    QVERIFY(shownAtChange);
    // Closed by the window manager: the listeners hear it as closed.
    w.results->close();
    QVERIFY(changed());
    QVERIFY(!shownAtChange);
    QTest::keyClick(w.form.get(), Qt::Key_F8);
    QVERIFY(changed());

    w.child<ScbCheckBox>("ScbBorder")->setChecked(!w.grid()->hasBorder());
    QVERIFY(changed());
    QCOMPARE(w.form->boardView().style.border, w.grid()->hasBorder());

    QImage picture(8, 4, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QVERIFY(picture.save(w.path("pic.bmp")));
    w.dialogs->pictures.push_back(w.path("pic.bmp"));
    QVERIFY(w.call("ButtonBackgroundImageClick"));
    QVERIFY(changed());
    v = w.form->boardView();
    QVERIFY(v.picture.loaded);
    QCOMPARE(v.picture.width, 8);
}

void tst_Windows::exceptionInHandler_showsErrorBoxAndCarriesOn()
{
    WindowFixture w;
    w.start();
    QTimer timer;
    timer.setSingleShot(true);
    bool ranAfter = false;
    QObject::connect(&timer, &QTimer::timeout, [] { throw scb::Error("File access denied"); });
    timer.start(0);
    QTRY_COMPARE(w.errorBoxes.size(), 1);
    QCOMPARE(w.errorBoxes.first(), QStringLiteral("File access denied."));
    QTimer::singleShot(0, [&ranAfter] { ranAfter = true; });
    QTRY_VERIFY(ranAfter);
}

void tst_Windows::errorBoxWithWayOut_realBox_data()
{
    QTest::addColumn<QString>("press");
    QTest::addColumn<bool>("tookWayOut");
    QTest::newRow("OK") << "OK" << false;
    QTest::newRow("Esc") << "Esc" << false;
    QTest::newRow("the way out") << "Close without saving" << true;
}

// The box itself, which the tests' hook otherwise stands in for.
void tst_Windows::errorBoxWithWayOut_realBox()
{
    QFETCH(QString, press);
    QFETCH(bool, tookWayOut);
    QString text;
    QString detail;
    QStringList buttons;
    bool okIsDefault = false;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        text = box->text();
        detail = box->informativeText();
        for (const QAbstractButton *button : box->buttons())
            buttons << button->text().remove('&');
        okIsDefault = box->defaultButton() == box->button(QMessageBox::Ok);
        if (press == "Esc")
            QTest::keyClick(box, Qt::Key_Escape);
        else if (press == "OK")
            box->button(QMessageBox::Ok)->click();
        else
            box->buttons().at(buttons.indexOf(press))->click();
    });
    const QString where = QStringLiteral("The settings could not be saved to /Resolution.ini.");
    QCOMPARE(Application::reportError(QStringLiteral("File access denied"), where, QStringLiteral("Close without saving")),
             tookWayOut);
    QCOMPARE(text, QStringLiteral("File access denied."));
    QCOMPARE(detail, where);
    buttons.sort();
    QCOMPARE(buttons, (QStringList{"Close without saving", "OK"}));
    QVERIFY(okIsDefault);
}

void tst_Windows::loneMinusInSpinEdit_reachesErrorBox()
{
    WindowFixture w;
    w.start();
    w.tick();
    const QRect before = w.results->geometry();
    w.child<SpinEdit>("ScreenWidth")->setFocus();
    w.child<SpinEdit>("ScreenWidth")->selectAll();
    QTest::keyClick(w.child<SpinEdit>("ScreenWidth"), Qt::Key_Minus);
    QCOMPARE(w.child<SpinEdit>("ScreenWidth")->text(), QStringLiteral("-"));
    const QString refused = QStringLiteral("'-' is not a valid integer value.");
    QTRY_COMPARE(w.errorBoxes, QStringList{refused});
    QCOMPARE(w.results->geometry(), before);
    // Until it is mended, the border command and the close stop on it too,
    // and the close keeps the window open.
    w.child<ScbCheckBox>("ScbBorder")->setChecked(false);
    QTRY_COMPARE(w.errorBoxes.size(), 2);
    QCOMPARE(w.errorBoxes.last(), refused);
    QVERIFY(!w.form->close());
    QCOMPARE(w.errorBoxes.size(), 3);
    QCOMPARE(w.errorBoxes.last(), refused);
    QVERIFY(w.form->isVisible());
}

SCB_WINDOW_TEST_MAIN(tst_Windows)
#include "tst_Windows.moc"
