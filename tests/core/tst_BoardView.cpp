// The board as a value for views outside the windows: its JSON form, always
// valid whatever bytes the rows hold, and the version that counts changes.

#include "core/BoardView.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

class tst_BoardView : public QObject
{
    Q_OBJECT

private slots:
    void jsonString_data();
    void jsonString();
    void boardJson_readsBack();
    void publication_countsOnlyChanges();
};

void tst_BoardView::jsonString_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("json");

    QTest::newRow("plain") << QByteArray(" 1  SPAIN") << QByteArray("\" 1  SPAIN\"");
    QTest::newRow("quote and backslash") << QByteArray("a\"b\\c") << QByteArray("\"a\\\"b\\\\c\"");
    QTest::newRow("control characters") << QByteArray("\t\r\n\x01\x1f\x7f", 6)
                                        << QByteArray("\"\\t\\r\\n\\u0001\\u001f\\u007f\"");
    QTest::newRow("NUL") << QByteArray("a\0b", 3) << QByteArray("\"a\\u0000b\"");
    QTest::newRow("UTF-8 kept") << QByteArray("M\xC3\xA4in \xE2\x82\xAC") << QByteArray("\"M\xC3\xA4in \xE2\x82\xAC\"");
    QTest::newRow("not UTF-8: read as 1252") << QByteArray("\xC4 \x80") << QByteArray("\"\xC3\x84 \xE2\x82\xAC\"");
    QTest::newRow("empty") << QByteArray() << QByteArray("\"\"");
}

void tst_BoardView::jsonString()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, json);
    QCOMPARE(QByteArray::fromStdString(scb::jsonString(text.toStdString())), json);
}

void tst_BoardView::boardJson_readsBack()
{
    scb::BoardView v;
    v.rows[0] = scb::makeRowLine("TIME: \"10:00\"");
    // What the row shows is already decoded.
    v.rows[11] = std::make_shared<const scb::RowLine>(scb::RowLine{"\xC9LITE", "\xC3\x89LITE"});
    v.style.fontFamily = "Courier New";
    v.style.bold = true;
    v.style.fontPixelSize = 24;
    v.style.rowHeight = 50;
    v.style.textColor = scb::makeColor(255, 0, 0);
    v.style.backColor = scb::makeColor(0x12, 0x34, 0x56);
    v.picture = {true, 640, 480, 99};
    v.shown = true;

    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(scb::boardJson(v, 7, 2)), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(o["version"].toInt(), 7);
    QCOMPARE(o["shown"].toBool(), true);
    QCOMPARE(o["rows"].toArray().size(), 12);
    QCOMPARE(o["rows"][0].toString(), QStringLiteral("TIME: \"10:00\""));
    QCOMPARE(o["rows"][11].toString(), QString::fromUtf8("\u00C9LITE"));
    const QJsonObject s = o["style"].toObject();
    QCOMPARE(s["fontFamily"].toString(), QStringLiteral("Courier New"));
    QCOMPARE(s["fontPixelSize"].toInt(), 24);
    QCOMPARE(s["rowHeight"].toInt(), 50);
    QCOMPARE(s["textColor"].toString(), QStringLiteral("#ff0000"));
    QCOMPARE(s["backColor"].toString(), QStringLiteral("#123456"));
    QCOMPARE(s["border"].toBool(), false);
    QCOMPARE(o["picture"].toObject(), QJsonObject({{"loaded", true}, {"width", 640}, {"height", 480}, {"version", 2}}));
}

void tst_BoardView::publication_countsOnlyChanges()
{
    scb::BoardPublication p;
    scb::BoardView v;
    QVERIFY(!p.update(v));
    QCOMPARE(p.version(), 0u);

    v.rows[3] = scb::makeRowLine("x");
    QVERIFY(p.update(v));
    v.rows[3] = scb::makeRowLine("x");
    QVERIFY(!p.update(v)); // the same text in another line: nothing new
    QCOMPARE(p.version(), 1u);
    QCOMPARE(p.pictureVersion(), 0u);

    v.picture = {true, 4, 2, 1};
    QVERIFY(p.update(v));
    v.picture.identity = 2; // another picture of the same size
    QVERIFY(p.update(v));
    QCOMPARE(p.version(), 3u);
    QCOMPARE(p.pictureVersion(), 2u);
    QVERIFY(QByteArray::fromStdString(p.json()).startsWith("{\"version\":3,"));
}

QTEST_APPLESS_MAIN(tst_BoardView)
#include "tst_BoardView.moc"
