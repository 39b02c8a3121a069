// The control window as laid out for the operator: where every control sits,
// what it says, its font and colours, the Tab walk, the preview's opening text,
// and the scoreboard window's design layout.

#include "WindowFixture.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QScrollBar>
#include <QStyle>
#include <QStyleHints>
#include <QTextLayout>
#include <QTimer>

namespace {

// A control's caption as the operator reads it.
QString captionOf(QWidget *w)
{
    if (auto *box = qobject_cast<ScbGroupBox *>(w))
        return box->caption();
    if (auto *rocker = qobject_cast<RockerSwitch *>(w))
        return rocker->captionUnChecked() + QLatin1Char('|') + rocker->captionChecked();
    if (auto *label = qobject_cast<QLabel *>(w))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(w))
        return button->text();
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        return edit->text();
    return QString();
}

// The font the caption is drawn in: a group box keeps its own.
QFont captionFontOf(QWidget *w)
{
    if (auto *box = qobject_cast<ScbGroupBox *>(w))
        return box->captionFont();
    return w->font();
}

const QString Verdana = QStringLiteral("Verdana");
const QString SansSerif = QStringLiteral("MS Sans Serif");

} // namespace

class tst_Layout : public QObject
{
    Q_OBJECT

private slots:
    void control_sitsAtItsRectangle_data();
    void control_sitsAtItsRectangle();
    void control_showsItsTextColours_data();
    void control_showsItsTextColours();
    void window_hasDesignSizeTitleAndFont();
    void panels_paintNoBackground();
    void previewMemo_fillsItsBoxClientArea();
    void previewMemo_opensWithStartListAndNoScrollBars();
    void spinEdits_carryTheirLimits();
    void switch_isTheRedGreenRockerWithoutFocus();
    void timers_areStoppedAtOneSecond();
    void tab_walksTheControlsInDesignOrder();
    void statusLabel_failureReport_fitsInside_data();
    void statusLabel_failureReport_fitsInside();
    void statusLabel_leavesCloseButtonClear();
    void scoreboard_hasDesignLayout();
};

void tst_Layout::control_sitsAtItsRectangle_data()
{
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<bool>("bold");

    const QString panel1 = QStringLiteral("LMDSimplePanel1");
    const QString panel2 = QStringLiteral("LMDSimplePanel2");
    const QString form = QStringLiteral("SCBForm");
    auto row = [](const char *name, const QString &parent, QRect r, const QString &caption, const QString &family,
                  int pixels, bool bold = false) {
        QTest::newRow(name) << parent << r << caption << family << pixels << bold;
    };
    row("LMDSimplePanel1", form, {0, 0, 513, 390}, {}, Verdana, 16);
    row("LMDSimplePanel2", form, {0, 390, 513, 40}, {}, Verdana, 16);
    row("LMDGroupBox1", panel1, {24, 16, 457, 73},
        QStringLiteral("Select Main.txt from Torvane Zentrack (or drag n drop)"), SansSerif, 16, true);
    row("GroupBoxPreview", panel1, {24, 102, 265, 200}, QStringLiteral("Main.txt Preview"), SansSerif, 11, true);
    row("GroupBox1", panel1, {312, 104, 169, 105}, QStringLiteral("Screen Size"), SansSerif, 11, true);
    row("GroupBox2", panel1, {24, 312, 457, 65}, QStringLiteral("Fonts and colors"), SansSerif, 11, true);
    row("GroupBox4", panel1, {336, 224, 113, 65}, QStringLiteral("Scoreboard - F8"), SansSerif, 11, true);
    // Moved from under the check box to the bottom panel, where it can be read.
    row("Label1", panel2, {8, 2, 170, 36}, {}, Verdana, 13);
    row("XMLFile", QStringLiteral("LMDGroupBox1"), {8, 32, 433, 21}, {}, Verdana, 16);
    row("MainMemo", QStringLiteral("GroupBoxPreview"), {2, 15, 261, 183}, {}, QStringLiteral("Courier New"), 8);
    const QString box1 = QStringLiteral("GroupBox1");
    row("Label2", box1, {8, 16, 26, 16}, QStringLiteral("Left"), Verdana, 13);
    row("Label3", box1, {96, 16, 24, 16}, QStringLiteral("Top"), Verdana, 13);
    row("Label4", box1, {8, 64, 38, 16}, QStringLiteral("Width"), Verdana, 13);
    row("Label5", box1, {96, 64, 42, 16}, QStringLiteral("Height"), Verdana, 13);
    // Without Verdana itself the spin edits take a narrower stand-in.
    const bool verdana = QFontInfo(QFont(Verdana)).family() == Verdana;
    const QString digits = verdana ? Verdana : QStringLiteral("Arial");
    const int digitPixels = verdana ? 16 : 14;
    row("ScreenLeft", box1, {8, 32, 57, 21}, QStringLiteral("801"), digits, digitPixels);
    // Value 0 never changed: the edit shows an empty text, which reads as 0.
    row("ScreenTop", box1, {96, 32, 57, 21}, QString(), digits, digitPixels);
    row("ScreenWidth", box1, {8, 80, 57, 21}, QStringLiteral("800"), digits, digitPixels);
    row("ScreenHeight", box1, {96, 80, 57, 21}, QStringLiteral("600"), digits, digitPixels);
    const QString box2 = QStringLiteral("GroupBox2");
    row("Button1", box2, {8, 16, 180, 17}, QStringLiteral("Font + Color"), Verdana, 16);
    row("Button2", box2, {270, 16, 180, 17}, QStringLiteral("Background"), Verdana, 16);
    row("LMDButton4", box2, {8, 40, 180, 17}, QStringLiteral("Custom Font Color"), Verdana, 16);
    row("ButtonBackgroundImage", box2, {270, 40, 180, 17}, QStringLiteral("Background Image"), Verdana, 16);
    row("ResultsButton", QStringLiteral("GroupBox4"), {16, 24, 80, 32}, QStringLiteral("Closed|Open"),
        QStringLiteral("Arial"), 11, true);
    row("ScbBorder", panel1, {312, 296, 193, 17}, QStringLiteral("Show Scb Border"), Verdana, 16);
    row("ButtonClose", panel2, {216, 8, 75, 25}, QStringLiteral("Close"), Verdana, 16);
}

void tst_Layout::control_sitsAtItsRectangle()
{
    QFETCH(QString, parent);
    QFETCH(QRect, rect);
    QFETCH(QString, caption);
    QFETCH(QString, family);
    QFETCH(int, pixels);
    QFETCH(bool, bold);

    // Laid out as built, before the window is ever shown.
    TSCBForm form;
    auto *w = form.findChild<QWidget *>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(w);
    QVERIFY(w->parentWidget());
    QCOMPARE(w->parentWidget()->objectName(), parent);
    QCOMPARE(w->geometry(), rect);
    QCOMPARE(captionOf(w), caption);
    const QFont font = captionFontOf(w);
    QCOMPARE(font.family(), family);
    QCOMPARE(font.pixelSize(), pixels);
    QCOMPARE(font.bold(), bold);
    QVERIFY(!font.italic());
}

void tst_Layout::control_showsItsTextColours_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("role");
    QTest::addColumn<QColor>("color");

    const QColor windowText = QApplication::palette().color(QPalette::WindowText);
    const int text = QPalette::Text;
    const int base = QPalette::Base;
    const int label = QPalette::WindowText;
    const int button = QPalette::ButtonText;
    auto row = [](const char *tag, const char *name, int role, const QColor &c) {
        QTest::newRow(tag) << QString::fromLatin1(name) << role << c;
    };
    for (const char *name : {"Label1", "Label2", "Label3", "Label4", "Label5"})
        row(name, name, label, Qt::white);
    for (const char *name : {"XMLFile", "ScreenLeft", "ScreenTop", "ScreenWidth", "ScreenHeight"}) {
        row(QByteArray(name).append(" text").constData(), name, text, Qt::black);
        row(QByteArray(name).append(" base").constData(), name, base, Qt::white);
    }
    row("MainMemo text", "MainMemo", text, windowText);
    row("MainMemo base", "MainMemo", base, Qt::white);
    for (const char *name : {"Button1", "Button2", "LMDButton4", "ButtonBackgroundImage"})
        row(name, name, button, windowText);
    row("ButtonClose", "ButtonClose", button, Qt::black);
}

void tst_Layout::control_showsItsTextColours()
{
    QFETCH(QString, name);
    QFETCH(int, role);
    QFETCH(QColor, color);

    TSCBForm form;
    auto *w = form.findChild<QWidget *>(name);
    QVERIFY(w);
    QCOMPARE(w->palette().color(QPalette::Active, QPalette::ColorRole(role)), color);
}

void tst_Layout::window_hasDesignSizeTitleAndFont()
{
    TSCBForm form;
    QCOMPARE(form.size(), QSize(513, 430));
    QCOMPARE(form.windowTitle(), QStringLiteral("Torvane Scoreboard"));
    QCOMPARE(form.font().family(), Verdana);
    QCOMPARE(form.font().pixelSize(), 16);
    QVERIFY(!form.font().bold());
    QCOMPARE(form.palette().color(QPalette::Window), QColor(0, 0, 128));
    QCOMPARE(childOf<ScbCheckBox>(form, "ScbBorder")->captionColor(), QColor(Qt::white));
    for (const char *box : {"LMDGroupBox1", "GroupBoxPreview", "GroupBox1", "GroupBox2", "GroupBox4"})
        QCOMPARE(childOf<ScbGroupBox>(form, box)->captionColor(), QColor(Qt::white));
    QCOMPARE(childOf<FileOpenEdit>(form, "XMLFile")->defaultExt(), QStringLiteral("txt"));
    // The caret is on for 530 ms, then off for 530 ms: Qt's flash time is the whole cycle.
    QCOMPARE(QGuiApplication::styleHints()->cursorFlashTime(), 1060);
}

void tst_Layout::panels_paintNoBackground()
{
    TSCBForm form;
    for (const char *name : {"LMDSimplePanel1", "LMDSimplePanel2", "LMDGroupBox1", "GroupBoxPreview", "GroupBox1",
                             "GroupBox2", "GroupBox4", "ScbBorder", "Label1", "ResultsButton"}) {
        const QWidget *w = childOf<QWidget>(form, name);
        QVERIFY2(!w->autoFillBackground() && !w->testAttribute(Qt::WA_OpaquePaintEvent),
                 qPrintable(w->objectName()));
    }
    QVERIFY(!form.autoFillBackground());
}

void tst_Layout::previewMemo_fillsItsBoxClientArea()
{
    // The memo follows the caption line that the font in use gives.
    TSCBForm form;
    const auto *box = childOf<ScbGroupBox>(form, "GroupBoxPreview");
    const QRect memo = childOf<PreviewMemo>(form, "MainMemo")->geometry();
    const int ch = box->captionHeight();
    QCOMPARE(memo, QRect(2, 2 + ch, 265 - 4, 200 - 4 - ch));
    QCOMPARE(memo, box->clientRect());
}

void tst_Layout::previewMemo_opensWithStartListAndNoScrollBars()
{
    WindowFixture w;
    w.start();
    w.child<QTimer>("Timer1")->stop();
    QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
    PreviewMemo *memo = w.child<PreviewMemo>("MainMemo");
    QCOMPARE(w.form->board().lines().count(), 16);
    const std::string &text = w.form->board().lines().text();
    QCOMPARE(text.size(), std::size_t(338));
    QCOMPARE(std::string(w.form->board().lines().lineView(0)), std::string());
    QCOMPARE(std::string(w.form->board().lines().lineView(3)), std::string("Teams - Free Routine Preliminary"));
    QCOMPARE(std::string(w.form->board().lines().lineView(6)), std::string(" 2  CZECH REPUBLIC "));
    QCOMPARE(std::string(w.form->board().lines().lineView(14)), std::string("10  BELARUS  "));
    QCOMPARE(std::string(w.form->board().lines().lineView(15)), std::string());
    QCOMPARE(memo->lineWrapMode(), QPlainTextEdit::NoWrap);
    QVERIFY(!memo->horizontalScrollBar()->isVisible());
    QVERIFY(!memo->verticalScrollBar()->isVisible());
    QVERIFY(!memo->isReadOnly());
}

void tst_Layout::spinEdits_carryTheirLimits()
{
    TSCBForm form;
    form.show(); // the buttons' margin is set once the edits are laid out
    for (const char *name : {"ScreenLeft", "ScreenTop", "ScreenWidth", "ScreenHeight"}) {
        SpinEdit *e = childOf<SpinEdit>(form, name);
        QCOMPARE(e->minValue(), 0.0);
        QCOMPARE(e->maxValue(), 9999.0);
        QCOMPARE(e->step(), 1.0);
        QCOMPARE(e->largeStep(), 10.0);
        QVERIFY(!e->isLoading());
        // The largest value reads whole: QLineEdit keeps 2 px clear on each
        // side of its text, inside the frame and the buttons' margin.
        e->setValue(9999);
        const int frame = e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, e);
        const int room = e->width() - 2 * frame - e->textMargins().left() - e->textMargins().right() - 2 * 2;
        const int text = e->fontMetrics().horizontalAdvance(e->text());
        QVERIFY2(text <= room, qPrintable(QStringLiteral("%1 needs %2 px, has %3").arg(e->text()).arg(text).arg(room)));
    }
}

void tst_Layout::switch_isTheRedGreenRockerWithoutFocus()
{
    TSCBForm form;
    RockerSwitch *rocker = childOf<RockerSwitch>(form, "ResultsButton");
    QVERIFY(!rocker->isChecked());
    QVERIFY(!rocker->checkedLeft());
    QCOMPARE(rocker->colorChecked(), QColor(0, 255, 0));
    QCOMPARE(rocker->colorUnChecked(), QColor(255, 0, 0));
    QCOMPARE(rocker->topColor(), QColor(192, 192, 192));
    QCOMPARE(rocker->sideColor(), QColor(192, 192, 192));
    QCOMPARE(rocker->captionColor(), QColor(Qt::white));
    QCOMPARE(rocker->focusPolicy(), Qt::NoFocus);
    QCOMPARE(rocker->cursor().shape(), Qt::PointingHandCursor);
}

void tst_Layout::timers_areStoppedAtOneSecond()
{
    TSCBForm form;
    for (const char *name : {"Timer1", "CursorTimer"}) {
        const QTimer *timer = childOf<QTimer>(form, name);
        QVERIFY(!timer->isActive());
        QCOMPARE(timer->interval(), 1000);
    }
}

void tst_Layout::tab_walksTheControlsInDesignOrder()
{
    WindowFixture w;
    w.start();
    w.child<QTimer>("Timer1")->stop();
    QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
    w.form->activateWindow();
    QApplication::setActiveWindow(w.form.get());
    QTRY_VERIFY(w.form->isActiveWindow());

    QList<QWidget *> order;
    for (const char *name : {"XMLFile", "MainMemo", "ScreenLeft", "ScreenTop", "ScreenWidth", "ScreenHeight", "Button1",
                             "Button2", "LMDButton4", "ButtonBackgroundImage", "ScbBorder", "ButtonClose"})
        order << w.child<QWidget>(name);
    order.constFirst()->setFocus(Qt::OtherFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), order.constFirst());
    for (qsizetype i = 1; i <= order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        // After the last control, Tab comes round to the first.
        QWidget *expected = order.at(i % order.size());
        QTRY_COMPARE(QApplication::focusWidget(), expected);
    }
    // Nothing in the table takes focus it should not.
    for (const char *name : {"LMDSimplePanel1", "LMDSimplePanel2", "LMDGroupBox1", "GroupBox1", "GroupBox4", "Label1",
                             "Label2", "ResultsButton"})
        QVERIFY2(w.child<QWidget>(name)->focusPolicy() == Qt::NoFocus, name);
}

void tst_Layout::statusLabel_failureReport_fitsInside_data()
{
    QTest::addColumn<QString>("report");
    QTest::newRow("first failure") << QStringLiteral("Last Failure at 00:00.01  Cnt:1");
    QTest::newRow("a dozen") << QStringLiteral("Last Failure at 14:07.33  Cnt:12");
    QTest::newRow("a day of failures") << QStringLiteral("Last Failure at 23:59.59  Cnt:86400");
    QTest::newRow("counter at its end") << QStringLiteral("Last Failure at 23:59.59  Cnt:2147483647");
}

void tst_Layout::statusLabel_failureReport_fitsInside()
{
    QFETCH(QString, report);
    TSCBForm form;
    QLabel *label = childOf<QLabel>(form, "Label1");
    label->setText(report);
    QVERIFY(label->wordWrap());

    // Lay the text out as the word-wrapping label does.
    QTextLayout layout(report, label->font());
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    QStringList lines;
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(label->width());
        QVERIFY2(line.naturalTextWidth() <= label->width(), qPrintable(QString::number(line.naturalTextWidth())));
        lines << report.mid(line.textStart(), line.textLength()).trimmed();
        height += line.height();
    }
    layout.endLayout();

    QVERIFY2(height <= label->height(), qPrintable(QString::number(height)));
    // The time reads whole on the first line, the count whole on the last.
    const QString time = report.section(QLatin1Char(' '), 3, 3);
    const QString count = report.section(QLatin1Char(' '), -1);
    QVERIFY2(lines.constFirst().endsWith(time), qPrintable(lines.join(QLatin1Char('|'))));
    QCOMPARE(lines.constLast(), count);
}

void tst_Layout::statusLabel_leavesCloseButtonClear()
{
    TSCBForm form;
    const QLabel *label = childOf<QLabel>(form, "Label1");
    const QWidget *close = childOf<ClassicButton>(form, "ButtonClose");
    QVERIFY(label->parentWidget() == close->parentWidget());
    QVERIFY(!label->geometry().intersects(close->geometry()));
    QVERIFY(childOf<QWidget>(form, "LMDSimplePanel2")->rect().contains(label->geometry()));
}

void tst_Layout::scoreboard_hasDesignLayout()
{
    TResultsForm results;
    QCOMPARE(results.geometry(), QRect(804, 97, 986, 629));
    QCOMPARE(results.windowTitle(), QStringLiteral("ResultsForm"));
    QCOMPARE(results.palette().color(QPalette::Window), QColor(128, 255, 255));
    QCOMPARE(results.font().family(), SansSerif);
    QCOMPARE(results.font().pixelSize(), 11);
    QVERIFY(results.windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(results.panelFill()->geometry(), QRect(0, 0, 986, 629));
    QCOMPARE(results.scbGrid()->geometry(), QRect(0, 0, 986, 629));
    QVERIFY(!results.scbGrid()->isEnabled());
    QCOMPARE(results.scbGrid()->focusPolicy(), Qt::NoFocus);
}

SCB_WINDOW_TEST_MAIN(tst_Layout)
#include "tst_Layout.moc"
