#include <QtTest>

#include "core/Error.h"
#include "core/SpinEditModel.h"

using scb::SpinEditModel;

namespace {

// The geometry edit of the control window: 0 to 9999, steps 1 and 10.
SpinEditModel geometryEdit(const std::string &text = {}, double value = 0)
{
    SpinEditModel m;
    m.setMaxValue(9999);
    m.setValue(value);
    m.setText(text);
    return m;
}

QString q(const std::string &s)
{
    return QString::fromStdString(s);
}

} // namespace

class tst_SpinEditModel : public QObject
{
    Q_OBJECT
private slots:
    void freshEdit_isZeroWithEmptyText();
    void setValue_data();
    void setValue();
    void setValue_nan_isRefused();
    void step_data();
    void step();
    void step_unreadableText_throwsAndKeepsText();
    void step_readOnly_doesNothing();
    void readInteger_data();
    void readInteger();
    void readInteger_loneMinus_throwsExactMessage();
    void focusOut_data();
    void focusOut();
    void focusOut_unreadable_keepsValueAndText();
    void acceptsTyped_data();
    void acceptsTyped();
    void acceptsPaste_data();
    void acceptsPaste();
    void bounds_neverCross();
    void buttonLayout_isRightSquareSplitInHalves();
};

void tst_SpinEditModel::freshEdit_isZeroWithEmptyText()
{
    SpinEditModel m;
    QCOMPARE(m.value(), 0.0);
    QCOMPARE(q(m.text()), QString());
    QCOMPARE(m.readInteger(), 0);
    QCOMPARE(m.minValue(), 0.0);
    QCOMPARE(m.maxValue(), 100.0);
}

void tst_SpinEditModel::setValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("stored");
    QTest::addColumn<double>("set");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("newText");
    QTest::addColumn<bool>("changed");

    QTest::newRow("above max shows max") << "800" << 800.0 << 12000.0 << 9999.0 << "9999" << true;
    QTest::newRow("negative shows min") << "800" << 800.0 << -5.0 << 0.0 << "0" << true;
    QTest::newRow("same value keeps typed text") << "0800" << 800.0 << 800.0 << 800.0 << "0800" << false;
    QTest::newRow("zero on fresh edit keeps empty") << "" << 0.0 << 0.0 << 0.0 << "" << false;
    QTest::newRow("fraction dropped") << "" << 0.0 << 12.9 << 12.9 << "12" << true;
    QTest::newRow("new value, same text") << "12" << 12.0 << 12.5 << 12.5 << "12" << false;
    QTest::newRow("clamped to stored value still rewrites text") << "50" << 9999.0 << 20000.0 << 9999.0
                                                                 << "9999" << true;
}

void tst_SpinEditModel::setValue()
{
    QFETCH(QString, text);
    QFETCH(double, stored);
    QFETCH(double, set);
    SpinEditModel m = geometryEdit({}, stored);
    m.setText(text.toStdString());

    QTEST(m.setValue(set), "changed");
    QTEST(m.value(), "value");
    QTEST(q(m.text()), "newText");
}

void tst_SpinEditModel::setValue_nan_isRefused()
{
    SpinEditModel m = geometryEdit("5", 5);
    QVERIFY(!m.setValue(std::nan("")));
    QCOMPARE(m.value(), 5.0);
    QCOMPARE(q(m.text()), QStringLiteral("5"));
}

void tst_SpinEditModel::step_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("up");
    QTest::addColumn<bool>("large");
    QTest::addColumn<QString>("newText");
    QTest::addColumn<bool>("changed");

    QTest::newRow("up at max stays") << "9999" << true << false << "9999" << false;
    QTest::newRow("up below max") << "9998" << true << false << "9999" << true;
    QTest::newRow("up beyond typed max clamps") << "12000" << true << false << "9999" << true;
    QTest::newRow("down at zero stays") << "0" << false << false << "0" << false;
    QTest::newRow("down on empty writes zero") << "" << false << false << "0" << true;
    QTest::newRow("up on empty") << "" << true << false << "1" << true;
    QTest::newRow("page up on 5") << "5" << true << true << "15" << true;
    QTest::newRow("page down on 5") << "5" << false << true << "0" << true;
    QTest::newRow("page down on 15") << "15" << false << true << "5" << true;
    QTest::newRow("down on negative typed") << "-12" << false << false << "0" << true;
    QTest::newRow("leading zero rewritten") << "0800" << true << false << "801" << true;
}

void tst_SpinEditModel::step()
{
    QFETCH(QString, text);
    QFETCH(bool, up);
    QFETCH(bool, large);
    SpinEditModel m = geometryEdit({}, 42);
    m.setText(text.toStdString());

    QTEST(up ? m.stepUp(large) : m.stepDown(large), "changed");
    QTEST(q(m.text()), "newText");
    QCOMPARE(m.value(), 42.0); // stepping leaves the stored value behind
}

void tst_SpinEditModel::step_unreadableText_throwsAndKeepsText()
{
    SpinEditModel m = geometryEdit("-");
    QVERIFY_THROWS_EXCEPTION(scb::Error, m.stepUp());
    QVERIFY_THROWS_EXCEPTION(scb::Error, m.stepDown(true));
    QCOMPARE(q(m.text()), QStringLiteral("-"));
}

void tst_SpinEditModel::step_readOnly_doesNothing()
{
    SpinEditModel m = geometryEdit("5");
    m.setReadOnly(true);
    QVERIFY(!m.stepUp());
    QVERIFY(!m.stepDown(true));
    QCOMPARE(q(m.text()), QStringLiteral("5"));
}

void tst_SpinEditModel::readInteger_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("number");

    QTest::newRow("empty") << "" << true << 0;
    QTest::newRow("digits") << "123" << true << 123;
    QTest::newRow("leading zeros") << "0800" << true << 800;
    QTest::newRow("negative") << "-12" << true << -12;
    QTest::newRow("plus sign") << "+7" << true << 7;
    QTest::newRow("int32 max") << "2147483647" << true << 2147483647;
    QTest::newRow("int32 min") << "-2147483648" << true << int(-2147483648LL);
    QTest::newRow("past int32 max") << "2147483648" << false << 0;
    QTest::newRow("huge") << "99999999999999999999999" << false << 0;
    QTest::newRow("lone minus") << "-" << false << 0;
    QTest::newRow("letter") << "12a" << false << 0;
    QTest::newRow("space") << " 12" << false << 0;
    QTest::newRow("fraction") << "1.5" << false << 0;
    QTest::newRow("double sign") << "--1" << false << 0;
}

void tst_SpinEditModel::readInteger()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    SpinEditModel m;
    m.setText(text.toStdString());
    if (valid)
        QTEST(m.readInteger(), "number");
    else
        QVERIFY_THROWS_EXCEPTION(scb::Error, m.readInteger());
}

void tst_SpinEditModel::readInteger_loneMinus_throwsExactMessage()
{
    SpinEditModel m;
    m.setText("-");
    try {
        m.readInteger();
        QFAIL("no exception");
    } catch (const scb::Error &e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("'-' is not a valid integer value"));
    }
}

void tst_SpinEditModel::focusOut_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("stored");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("newText");
    QTest::addColumn<bool>("changed");

    QTest::newRow("typed beyond max clamps") << "12000" << 800.0 << 9999.0 << "9999" << true;
    QTest::newRow("negative becomes zero") << "-12" << 12.0 << 0.0 << "0" << true;
    QTest::newRow("equal to stored keeps text") << "0800" << 800.0 << 800.0 << "0800" << false;
    QTest::newRow("new number with leading zero") << "0801" << 800.0 << 801.0 << "801" << true;
    QTest::newRow("empty over stored value") << "" << 600.0 << 0.0 << "0" << true;
}

void tst_SpinEditModel::focusOut()
{
    QFETCH(QString, text);
    QFETCH(double, stored);
    SpinEditModel m = geometryEdit({}, stored);
    m.setText(text.toStdString());

    QTEST(m.focusOut(), "changed");
    QTEST(m.value(), "value");
    QTEST(q(m.text()), "newText");
}

void tst_SpinEditModel::focusOut_unreadable_keepsValueAndText()
{
    SpinEditModel m = geometryEdit({}, 800);
    m.setText("-");
    QVERIFY_THROWS_EXCEPTION(scb::Error, m.focusOut());
    QCOMPARE(m.value(), 800.0);
    QCOMPARE(q(m.text()), QStringLiteral("-"));
}

void tst_SpinEditModel::acceptsTyped_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<char>("c");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selLength");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("digit at end") << "12" << '3' << 2 << 0 << 0 << true;
    QTest::newRow("letter") << "12" << 'a' << 2 << 0 << 0 << false;
    QTest::newRow("space") << "12" << ' ' << 2 << 0 << 0 << false;
    QTest::newRow("plus") << "12" << '+' << 0 << 0 << 0 << false;
    QTest::newRow("decimal point") << "12" << '.' << 2 << 0 << 0 << false;
    QTest::newRow("minus at start") << "12" << '-' << 0 << 0 << 0 << true;
    QTest::newRow("minus into empty") << "" << '-' << 0 << 0 << 0 << true;
    QTest::newRow("minus in middle") << "12" << '-' << 1 << 0 << 0 << false;
    QTest::newRow("second minus") << "-12" << '-' << 0 << 0 << 0 << false;
    QTest::newRow("minus over selected minus") << "-12" << '-' << 1 << 0 << 1 << true;
    QTest::newRow("minus over selection from start") << "12" << '-' << 2 << 0 << 2 << true;
    QTest::newRow("minus over selection not at start") << "12" << '-' << 2 << 1 << 1 << false;
    QTest::newRow("digit before minus") << "-12" << '5' << 0 << 0 << 0 << false;
    QTest::newRow("digit after minus") << "-12" << '5' << 1 << 0 << 0 << true;
    QTest::newRow("digit over selected minus") << "-12" << '5' << 1 << 0 << 1 << true;
    QTest::newRow("cursor ignored under selection") << "-12" << '5' << 0 << 1 << 2 << true;
}

void tst_SpinEditModel::acceptsTyped()
{
    QFETCH(QString, text);
    QFETCH(char, c);
    QFETCH(int, cursor);
    QFETCH(int, selStart);
    QFETCH(int, selLength);
    SpinEditModel m;
    m.setText(text.toStdString());
    QTEST(m.acceptsTyped(c, cursor, selStart, selLength), "accepted");

    m.setReadOnly(true);
    QVERIFY(!m.acceptsTyped(c, cursor, selStart, selLength));
}

void tst_SpinEditModel::acceptsPaste_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selLength");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("digits") << "12" << "345" << 2 << 0 << 0 << true;
    QTest::newRow("negative at start") << "" << "-45" << 0 << 0 << 0 << true;
    QTest::newRow("negative into middle") << "12" << "-45" << 1 << 0 << 0 << false;
    QTest::newRow("two minus signs") << "" << "--4" << 0 << 0 << 0 << false;
    QTest::newRow("minus inside") << "" << "4-5" << 0 << 0 << 0 << false;
    QTest::newRow("letters") << "" << "12ab" << 0 << 0 << 0 << false;
    QTest::newRow("line break") << "" << "12\n" << 0 << 0 << 0 << false;
    QTest::newRow("empty") << "5" << "" << 0 << 0 << 0 << false;
    QTest::newRow("minus onto signed text") << "-12" << "-3" << 0 << 0 << 0 << false;
    QTest::newRow("minus replacing signed start") << "-12" << "-3" << 3 << 0 << 2 << true;
    QTest::newRow("digits in front of minus") << "-12" << "3" << 0 << 0 << 0 << false;
}

void tst_SpinEditModel::acceptsPaste()
{
    QFETCH(QString, text);
    QFETCH(QString, pasted);
    QFETCH(int, cursor);
    QFETCH(int, selStart);
    QFETCH(int, selLength);
    SpinEditModel m;
    m.setText(text.toStdString());
    QTEST(m.acceptsPaste(pasted.toStdString(), cursor, selStart, selLength), "accepted");
}

void tst_SpinEditModel::bounds_neverCross()
{
    SpinEditModel m;
    m.setMinValue(150); // past the default max of 100
    QCOMPARE(m.minValue(), 150.0);
    QCOMPARE(m.maxValue(), 150.0);

    m.setMaxValue(-20); // past the min
    QCOMPARE(m.maxValue(), -20.0);
    QCOMPARE(m.minValue(), -20.0);

    m.setMaxValue(9999);
    m.setMinValue(0);
    QCOMPARE(m.minValue(), 0.0);
    QCOMPARE(m.maxValue(), 9999.0);
}

void tst_SpinEditModel::buttonLayout_isRightSquareSplitInHalves()
{
    // A 57 x 21 field with a 2-pixel frame: inner 53 x 17.
    const scb::SpinButtonLayout l = scb::spinButtonLayout({2, 2, 53, 17});
    QCOMPARE(l.buttons.x, 2 + 53 - 17);
    QCOMPARE(l.buttons.width, 17);
    QCOMPARE(l.up.y, 2);
    QCOMPARE(l.up.height + l.down.height, 17);
    QCOMPARE(l.down.y, l.up.y + l.up.height);
    QCOMPARE(scb::spinButtonAt(l, 40, 3), scb::SpinButton::Up);
    QCOMPARE(scb::spinButtonAt(l, 54, 18), scb::SpinButton::Down);
    QCOMPARE(scb::spinButtonAt(l, 37, 10), scb::SpinButton::None);
    QCOMPARE(scb::spinButtonAt(l, 55, 10), scb::SpinButton::None);
}

QTEST_APPLESS_MAIN(tst_SpinEditModel)
#include "tst_SpinEditModel.moc"
