#include <QtTest>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTimer>

#include "core/Error.h"
#include "widgets/SpinEdit.h"

namespace {

// Set up the way the control window builds its geometry edits: bounds first,
// then the design value, quietly.
void configure(SpinEdit &edit, double value)
{
    edit.setLoading(true);
    edit.setMaxValue(9999);
    edit.setValue(value);
    edit.setLoading(false);
}

QPoint centre(const scb::Rect &r)
{
    return {r.x + r.width / 2, r.y + r.height / 2};
}

void sendFocusOut(QWidget *w, Qt::FocusReason reason)
{
    QFocusEvent event(QEvent::FocusOut, reason);
    QCoreApplication::sendEvent(w, &event);
}

} // namespace

class tst_SpinEdit : public QObject
{
    Q_OBJECT
private slots:
    void loading_setValue_firesNoChange();
    void typingDigits_firesOncePerKeyWithRunningInteger();
    void typingLetter_changesNothing();
    void minusAtHome_readsNegative_focusLossClampsToZero();
    void focusLoss_equalValue_keepsTypedText();
    void focusLoss_windowDeactivation_doesNotWriteBack();
    void commitText_loneMinus_throwsAndKeepsState();
    void setValue_sameValue_firesNothing();
    void stepKeys_data();
    void stepKeys();
    void stepKeys_keepCaret();
    void backspaceAndDelete_fireChange();
    void paste_filtersText();
    void spinButton_pressStepsAndRepeatsUntilRelease();
    void spinButton_down_stepsDown();
    void textMargin_endsWhereButtonsBegin();
};

void tst_SpinEdit::loading_setValue_firesNoChange()
{
    SpinEdit edit;
    QSignalSpy spy(&edit, &SpinEdit::changed);
    configure(edit, 801);
    QCOMPARE(edit.text(), QStringLiteral("801"));
    QCOMPARE(spy.count(), 0);

    edit.setValue(802);
    QCOMPARE(spy.count(), 1);
}

void tst_SpinEdit::typingDigits_firesOncePerKeyWithRunningInteger()
{
    SpinEdit edit;
    configure(edit, 0);
    QList<int> seen;
    connect(&edit, &SpinEdit::changed, &edit, [&]() { seen << edit.asInteger(); });

    QTest::keyClicks(&edit, QStringLiteral("123"));
    QCOMPARE(seen, (QList<int>{1, 12, 123}));
    QCOMPARE(edit.value(), 0.0); // typing does not touch the stored value
}

void tst_SpinEdit::typingLetter_changesNothing()
{
    SpinEdit edit;
    configure(edit, 12);
    QSignalSpy spy(&edit, &SpinEdit::changed);
    QTest::keyClicks(&edit, QStringLiteral("a.+ "));
    QCOMPARE(edit.text(), QStringLiteral("12"));
    QCOMPARE(spy.count(), 0);
}

void tst_SpinEdit::minusAtHome_readsNegative_focusLossClampsToZero()
{
    SpinEdit edit;
    configure(edit, 12);
    QSignalSpy spy(&edit, &SpinEdit::changed);
    QTest::keyClick(&edit, Qt::Key_Home);
    QTest::keyClick(&edit, '-');
    QCOMPARE(edit.text(), QStringLiteral("-12"));
    QCOMPARE(edit.asInteger(), -12);
    QCOMPARE(spy.count(), 1);

    sendFocusOut(&edit, Qt::TabFocusReason);
    QCOMPARE(edit.text(), QStringLiteral("0"));
    QCOMPARE(edit.value(), 0.0);
    QCOMPARE(spy.count(), 2);
}

void tst_SpinEdit::focusLoss_equalValue_keepsTypedText()
{
    SpinEdit edit;
    configure(edit, 800);
    edit.selectAll();
    QTest::keyClicks(&edit, QStringLiteral("0800"));
    QSignalSpy spy(&edit, &SpinEdit::changed);
    sendFocusOut(&edit, Qt::MouseFocusReason);
    QCOMPARE(edit.text(), QStringLiteral("0800"));
    QCOMPARE(spy.count(), 0);

    edit.setValue(800);
    QCOMPARE(edit.text(), QStringLiteral("0800"));
    QCOMPARE(spy.count(), 0);
}

void tst_SpinEdit::focusLoss_windowDeactivation_doesNotWriteBack()
{
    SpinEdit edit;
    configure(edit, 800);
    edit.setText(QStringLiteral("-"));
    // Would throw if it wrote back; the error box taking activation must not
    // trigger another write-back.
    sendFocusOut(&edit, Qt::ActiveWindowFocusReason);
    sendFocusOut(&edit, Qt::PopupFocusReason);
    QCOMPARE(edit.text(), QStringLiteral("-"));
    QCOMPARE(edit.value(), 800.0);
}

void tst_SpinEdit::commitText_loneMinus_throwsAndKeepsState()
{
    SpinEdit edit;
    configure(edit, 800);
    edit.setText(QStringLiteral("-"));
    QSignalSpy spy(&edit, &SpinEdit::changed);
    try {
        edit.commitText();
        QFAIL("no exception");
    } catch (const scb::Error &e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("'-' is not a valid integer value"));
    }
    QCOMPARE(edit.text(), QStringLiteral("-"));
    QCOMPARE(edit.value(), 800.0);
    QCOMPARE(spy.count(), 0);
    QVERIFY_THROWS_EXCEPTION(scb::Error, edit.asInteger());
}

void tst_SpinEdit::setValue_sameValue_firesNothing()
{
    SpinEdit edit;
    configure(edit, 0);
    QSignalSpy spy(&edit, &SpinEdit::changed);
    edit.setValue(0);
    QCOMPARE(edit.text(), QString());
    edit.setValue(20000);
    QCOMPARE(edit.text(), QStringLiteral("9999"));
    QCOMPARE(edit.value(), 9999.0);
    QCOMPARE(spy.count(), 1);
}

void tst_SpinEdit::stepKeys_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("newText");
    QTest::addColumn<int>("changes");

    QTest::newRow("up") << "5" << int(Qt::Key_Up) << "6" << 1;
    QTest::newRow("down") << "5" << int(Qt::Key_Down) << "4" << 1;
    QTest::newRow("page up on 5") << "5" << int(Qt::Key_PageUp) << "15" << 1;
    QTest::newRow("page down on 5") << "5" << int(Qt::Key_PageDown) << "0" << 1;
    QTest::newRow("up at max") << "9999" << int(Qt::Key_Up) << "9999" << 0;
    QTest::newRow("down at zero") << "0" << int(Qt::Key_Down) << "0" << 0;
    QTest::newRow("down on empty") << "" << int(Qt::Key_Down) << "0" << 1;
}

void tst_SpinEdit::stepKeys()
{
    QFETCH(QString, text);
    QFETCH(int, key);
    SpinEdit edit;
    configure(edit, 7);
    edit.setText(text);
    QSignalSpy spy(&edit, &SpinEdit::changed);

    QTest::keyClick(&edit, Qt::Key(key));
    QTEST(edit.text(), "newText");
    QTEST(int(spy.count()), "changes");
    QCOMPARE(edit.value(), 7.0);
}

void tst_SpinEdit::stepKeys_keepCaret()
{
    SpinEdit edit;
    configure(edit, 0);
    edit.setText(QStringLiteral("125"));
    edit.setCursorPosition(1);
    QTest::keyClick(&edit, Qt::Key_Up);
    QCOMPARE(edit.text(), QStringLiteral("126"));
    QCOMPARE(edit.cursorPosition(), 1);

    edit.setText(QStringLiteral("10"));
    edit.setCursorPosition(2);
    QTest::keyClick(&edit, Qt::Key_Down);
    QCOMPARE(edit.text(), QStringLiteral("9"));
    QCOMPARE(edit.cursorPosition(), 1);
}

void tst_SpinEdit::backspaceAndDelete_fireChange()
{
    SpinEdit edit;
    configure(edit, 123);
    QSignalSpy spy(&edit, &SpinEdit::changed);
    edit.setCursorPosition(3);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(edit.text(), QStringLiteral("12"));
    QTest::keyClick(&edit, Qt::Key_Home);
    QTest::keyClick(&edit, Qt::Key_Delete);
    QCOMPARE(edit.text(), QStringLiteral("2"));
    QCOMPARE(spy.count(), 2);
}

void tst_SpinEdit::paste_filtersText()
{
    SpinEdit edit;
    configure(edit, 12);
    QSignalSpy spy(&edit, &SpinEdit::changed);
    edit.setCursorPosition(2);

    QApplication::clipboard()->setText(QStringLiteral("3x"));
    QTest::keySequence(&edit, QKeySequence::Paste);
    QCOMPARE(edit.text(), QStringLiteral("12"));
    QCOMPARE(spy.count(), 0);

    QApplication::clipboard()->setText(QStringLiteral("34"));
    QTest::keySequence(&edit, QKeySequence::Paste);
    QCOMPARE(edit.text(), QStringLiteral("1234"));
    QCOMPARE(spy.count(), 1);

    // The context menu's Paste goes through the same filter.
    QApplication::clipboard()->setText(QStringLiteral("5y"));
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), edit.mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(&edit, &event);
    auto *menu = edit.findChild<QMenu *>();
    QVERIFY(menu);
    QAction *paste = nullptr;
    for (QAction *action : menu->actions())
        if (action->objectName() == QLatin1String("edit-paste"))
            paste = action;
    QVERIFY(paste);
    paste->trigger();
    menu->close();
    QCOMPARE(edit.text(), QStringLiteral("1234"));
    QCOMPARE(spy.count(), 1);
}

void tst_SpinEdit::spinButton_pressStepsAndRepeatsUntilRelease()
{
    SpinEdit edit;
    configure(edit, 5);
    edit.resize(57, 21);
    QSignalSpy spy(&edit, &SpinEdit::changed);
    QTimer *timer = edit.repeatTimer();
    const QPoint up = centre(edit.buttonLayout().up);

    QTest::mousePress(&edit, Qt::LeftButton, {}, up);
    QCOMPARE(edit.text(), QStringLiteral("6")); // at once
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), SpinEdit::RepeatDelayMs);

    QTRY_COMPARE(edit.text(), QStringLiteral("7"));
    QCOMPARE(timer->interval(), SpinEdit::RepeatIntervalMs);
    QTRY_COMPARE(edit.text(), QStringLiteral("8"));

    QTest::mouseRelease(&edit, Qt::LeftButton, {}, up);
    QVERIFY(!timer->isActive());
    QCOMPARE(edit.value(), 5.0);
    QCOMPARE(spy.count(), 3);
}

void tst_SpinEdit::spinButton_down_stepsDown()
{
    SpinEdit edit;
    configure(edit, 5);
    edit.resize(57, 21);
    const QPoint down = centre(edit.buttonLayout().down);
    QTest::mouseClick(&edit, Qt::LeftButton, {}, down);
    QCOMPARE(edit.text(), QStringLiteral("4"));
    QTest::mouseClick(&edit, Qt::RightButton, {}, down);
    QCOMPARE(edit.text(), QStringLiteral("4"));
    QVERIFY(!edit.repeatTimer()->isActive());
}

void tst_SpinEdit::textMargin_endsWhereButtonsBegin()
{
    SpinEdit edit;
    edit.resize(57, 21);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    const scb::SpinButtonLayout layout = edit.buttonLayout();
    QCOMPARE(layout.buttons.width, layout.buttons.height);
    QCOMPARE(layout.buttons.x + layout.buttons.width + (21 - layout.buttons.height) / 2, 57);
    QCOMPARE(edit.textMargins().right(), layout.buttons.width);
}

QTEST_MAIN(tst_SpinEdit)
#include "tst_SpinEdit.moc"
