// What the board's web server lets in: which requests the gate refuses before
// the HTTP server sees them, when a WebSocket's Origin counts as the page's
// own, and how --serve reads its argument.

#include "core/RequestGate.h"

#include <QTest>

class tst_RequestGate : public QObject
{
    Q_OBJECT

private slots:
    void feed_refusesOrPasses_data();
    void feed_refusesOrPasses();
    void feed_countsEachRequestOnItsOwn();
    void originMatchesHost_data();
    void originMatchesHost();
};

void tst_RequestGate::feed_refusesOrPasses_data()
{
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("webSocket");

    const QByteArray ws = "GET /ws HTTP/1.1\r\nHost: 10.0.0.5:8080\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n";
    QTest::newRow("GET passes") << QByteArrayList{"GET /board.json HTTP/1.1\r\nHost: x\r\n\r\n"} << 0 << false;
    QTest::newRow("head split anywhere") << QByteArrayList{"GET / HTTP/1.1\r\nHost: x\r", "\n\r", "\n"} << 0 << false;
    QTest::newRow("bare LF lines") << QByteArrayList{"POST / HTTP/1.1\nHost: x\n\n"} << 405 << false;
    QTest::newRow("empty lines before the request") << QByteArrayList{"\r\n\r\nPUT / HTTP/1.1\r\n\r\n"} << 405 << false;
    QTest::newRow("HEAD") << QByteArrayList{"HEAD / HTTP/1.1\r\n\r\n"} << 405 << false;
    QTest::newRow("lower-case method") << QByteArrayList{"get / HTTP/1.1\r\n\r\n"} << 405 << false;
    QTest::newRow("unfinished head waits") << QByteArrayList{"GET / HTTP/1.1\r\nHost: x\r\n"} << 0 << false;
    QTest::newRow("head past 64 KiB") << QByteArrayList{"GET / HTTP/1.1\r\nX: " + QByteArray(64 * 1024, 'a')} << 413
                                      << false;
    QTest::newRow("body past 64 KiB") << QByteArrayList{"GET / HTTP/1.1\r\nContent-Length: 70000\r\n\r\n",
                                                        QByteArray(70000, 'b')}
                                      << 413 << false;
    QTest::newRow("exactly 64 KiB") << QByteArrayList{"GET / HTTP/1.1\r\n\r\n", QByteArray(64 * 1024 - 18, 'b')} << 0
                                    << false;
    QTest::newRow("WebSocket without Origin") << QByteArrayList{ws + "\r\n"} << 0 << true;
    QTest::newRow("WebSocket from its own page") << QByteArrayList{ws + "Origin: http://10.0.0.5:8080\r\n\r\n"} << 0
                                                 << true;
    QTest::newRow("WebSocket from another page") << QByteArrayList{ws + "Origin: http://evil.example\r\n\r\n"} << 403
                                                 << false;
    QTest::newRow("second Origin foreign") << QByteArrayList{ws + "Origin: http://10.0.0.5:8080\r\nOrigin: null\r\n\r\n"}
                                           << 403 << false;
    QTest::newRow("WebSocket on another path")
        << QByteArrayList{"GET /board.json HTTP/1.1\r\nUpgrade: WebSocket\r\n\r\n"} << 404 << false;
    QTest::newRow("WebSocket with a query") << QByteArrayList{"GET /ws?x=1 HTTP/1.1\r\nUpgrade: websocket\r\n\r\n"} << 0
                                            << true;
}

void tst_RequestGate::feed_refusesOrPasses()
{
    QFETCH(QByteArrayList, chunks);
    QFETCH(int, status);
    QFETCH(bool, webSocket);
    scb::RequestGate gate;
    int got = 0;
    for (const QByteArray &chunk : chunks)
        got = gate.feed(chunk.toStdString());
    QCOMPARE(got, status);
    QCOMPARE(gate.webSocket(), webSocket);
}

void tst_RequestGate::feed_countsEachRequestOnItsOwn()
{
    scb::RequestGate gate;
    const std::string request = "GET / HTTP/1.1\r\nX: " + std::string(40 * 1024, 'a') + "\r\n\r\n";
    QCOMPARE(gate.feed(request), 0);
    gate.startRequest();
    QCOMPARE(gate.feed(request), 0);
    QCOMPARE(gate.feed(request), 413); // the same request grown past the limit
}

void tst_RequestGate::originMatchesHost_data()
{
    QTest::addColumn<QString>("origin");
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("matches");

    QTest::newRow("same") << "http://127.0.0.1:8080" << "127.0.0.1:8080" << true;
    QTest::newRow("letter case") << "HTTP://Venue.Local:8080" << "venue.local:8080" << true;
    QTest::newRow("default port left out") << "http://venue.local" << "venue.local:80" << true;
    QTest::newRow("https default port") << "https://venue.local:443" << "venue.local" << true;
    QTest::newRow("IPv6") << "http://[::1]:8080" << "[::1]:8080" << true;
    QTest::newRow("other port") << "http://127.0.0.1:8081" << "127.0.0.1:8080" << false;
    QTest::newRow("other host") << "http://evil.example:8080" << "127.0.0.1:8080" << false;
    QTest::newRow("host's name inside") << "http://127.0.0.1:8080.evil.example" << "127.0.0.1:8080" << false;
    QTest::newRow("null") << "null" << "127.0.0.1:8080" << false;
    QTest::newRow("other scheme") << "file://127.0.0.1:8080" << "127.0.0.1:8080" << false;
    QTest::newRow("with a path") << "http://127.0.0.1:8080/" << "127.0.0.1:8080" << false;
    QTest::newRow("no Host") << "http://127.0.0.1:8080" << "" << false;
}

void tst_RequestGate::originMatchesHost()
{
    QFETCH(QString, origin);
    QFETCH(QString, host);
    QFETCH(bool, matches);
    QCOMPARE(scb::originMatchesHost(origin.toStdString(), host.toStdString()), matches);
}

QTEST_APPLESS_MAIN(tst_RequestGate)
#include "tst_RequestGate.moc"
