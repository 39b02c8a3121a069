#include <QTest>

#include "core/Error.h"

class tst_Error : public QObject
{
    Q_OBJECT

private slots:
    void errorBoxText_endsAsSentence_data();
    void errorBoxText_endsAsSentence();
    void error_carriesMessage();
};

void tst_Error::errorBoxText_endsAsSentence_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("shown");

    QTest::newRow("letter") << QByteArray("File access denied") << QByteArray("File access denied.");
    QTest::newRow("digit") << QByteArray("Error 5") << QByteArray("Error 5.");
    QTest::newRow("colon") << QByteArray("Cnt:") << QByteArray("Cnt:.");
    QTest::newRow("slash, just above the stop") << QByteArray("a/") << QByteArray("a/.");
    QTest::newRow("full stop") << QByteArray("Done.") << QByteArray("Done.");
    QTest::newRow("space") << QByteArray("Done ") << QByteArray("Done ");
    QTest::newRow("comma, below the stop") << QByteArray("a,") << QByteArray("a,");
    QTest::newRow("8-bit character") << QByteArray("caf\xE9") << QByteArray("caf\xE9.");
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void tst_Error::errorBoxText_endsAsSentence()
{
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, shown);
    QCOMPARE(QByteArray::fromStdString(scb::errorBoxText(message.toStdString())), shown);
}

void tst_Error::error_carriesMessage()
{
    try {
        throw scb::Error("Cannot open file x");
    } catch (const std::exception &e) {
        QCOMPARE(std::string(e.what()), std::string("Cannot open file x"));
    }
}

QTEST_APPLESS_MAIN(tst_Error)
#include "tst_Error.moc"
