#include <QTest>

#include <utility>

#include "core/BoardModel.h"

using scb::BoardChange;
using scb::BoardModel;
using scb::FileSnapshot;

namespace {

using Rows = QList<int>;

Rows allRows()
{
    Rows rows;
    for (int r = 0; r < scb::RowCount; ++r)
        rows << r;
    return rows;
}

Rows rowsIn(const std::bitset<scb::RowCount> &bits)
{
    Rows rows;
    for (int r = 0; r < scb::RowCount; ++r) {
        if (bits[std::size_t(r)])
            rows << r;
    }
    return rows;
}

scb::TickEnvironment clockAt(int second)
{
    scb::TickEnvironment env;
    env.now = [=] {
        std::tm t{};
        t.tm_hour = 9;
        t.tm_sec = second;
        return t;
    };
    return env;
}

// One tick's snapshot, written as "read TEXT" (the file read with that
// text), "look" (there, unchanged, not read), "fail" (the read failed) or
// "gone" (no file); "edit TEXT" is the operator's edit of the preview.
BoardChange step(BoardModel &board, const QString &what, int second)
{
    const QString kind = what.section(' ', 0, 0);
    const std::string text = what.section(' ', 1).replace("|", "\r\n").toStdString();
    if (kind == "edit") {
        board.edit(text);
        return {};
    }
    FileSnapshot s;
    if (kind != "gone") {
        s.stamp.age = 100 + second;
        s.loadAttempted = kind != "look";
    }
    if (kind == "read")
        s.bytes = text;
    if (kind == "fail")
        s.failure = scb::ReadFailure::WriterBusy;
    return board.apply(std::move(s), clockAt(second));
}

} // namespace

class tst_BoardModel : public QObject
{
    Q_OBJECT

private slots:
    void apply_tellsWhatChanged_data();
    void apply_tellsWhatChanged();
};

void tst_BoardModel::apply_tellsWhatChanged_data()
{
    QTest::addColumn<QStringList>("steps"); // the last one is checked
    QTest::addColumn<Rows>("rowsSet");
    QTest::addColumn<Rows>("rowsChanged");
    QTest::addColumn<int>("textChanges"); // notifications of the last step
    QTest::addColumn<bool>("statusChanged");
    QTest::addColumn<QString>("status");

    const QString list = "read TIME:|a|b";
    const QString failed = "Last Failure at 09:00.02  Cnt:1";
    QTest::newRow("first load sets and changes every row")
        << QStringList{list} << allRows() << allRows() << 1 << false << "";
    QTest::newRow("same rows again: set, none changed")
        << QStringList{list, "look"} << allRows() << Rows{} << 0 << false << "";
    QTest::newRow("equal text read again: no notification")
        << QStringList{list, "read TIME:\na\nb"} << allRows() << Rows{} << 0 << false << "";
    QTest::newRow("one line rewritten: only its row changed")
        << QStringList{list, "read TIME:|x|b"} << allRows() << Rows{1} << 1 << false << "";
    QTest::newRow("edit reaches the rows at the next tick")
        << QStringList{list, "edit TIME:|a|c", "look"} << allRows() << Rows{2} << 0 << false << "";
    QTest::newRow("blank file: row 0 only, set then appended")
        << QStringList{list, "read "} << Rows{0} << Rows{0} << 2 << false << "";
    QTest::newRow("short preview: the append notifies")
        << QStringList{list, "edit a|b", "look"} << Rows{0} << Rows{0} << 1 << false << "";
    QTest::newRow("failed read: status only")
        << QStringList{list, "fail"} << Rows{} << Rows{} << 0 << true << failed;
    QTest::newRow("success after a failure keeps the report")
        << QStringList{list, "fail", "read TIME:|a|b"} << allRows() << Rows{} << 0 << false << failed;
    QTest::newRow("second failure counts on")
        << QStringList{list, "fail", "fail"} << Rows{} << Rows{} << 0 << true << "Last Failure at 09:00.03  Cnt:2";
    QTest::newRow("no file: nothing") << QStringList{list, "gone"} << Rows{} << Rows{} << 0 << false << "";
}

void tst_BoardModel::apply_tellsWhatChanged()
{
    QFETCH(QStringList, steps);
    QFETCH(Rows, rowsSet);
    QFETCH(Rows, rowsChanged);
    QFETCH(int, textChanges);
    QFETCH(bool, statusChanged);
    QFETCH(QString, status);

    BoardModel board;
    int notified = 0;
    board.onTextChanged = [&] { ++notified; };
    BoardChange last;
    for (int i = 0; i < steps.size(); ++i) {
        notified = 0;
        last = step(board, steps.at(i), i + 1);
    }
    QCOMPARE(rowsIn(last.rowsSet), rowsSet);
    QCOMPARE(rowsIn(last.rowsChanged), rowsChanged);
    QCOMPARE(notified, textChanges);
    QCOMPARE(last.statusChanged, statusChanged);
    QCOMPARE(QString::fromStdString(board.status()), status);
}

QTEST_GUILESS_MAIN(tst_BoardModel)
#include "tst_BoardModel.moc"
