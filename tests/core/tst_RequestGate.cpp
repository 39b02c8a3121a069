// What the board's web server lets in: which requests the gate refuses before
// they are answered, pipelined ones included, which Host names and Origins
// count as the server's own, and how --serve reads its argument.

#include "core/RequestGate.h"

#include <QTest>

class tst_RequestGate : public QObject
{
    Q_OBJECT

private slots:
    void feed_refusesOrPasses_data();
    void feed_refusesOrPasses();
    void feed_judgesPipelinedRequests_data();
    void feed_judgesPipelinedRequests();
    void originMatchesHost_data();
    void originMatchesHost();
};

void tst_RequestGate::feed_refusesOrPasses_data()
{
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<QString>("bound"); // the server's address; empty: every interface
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("webSocket");
    QTest::addColumn<bool>("close");

    const QByteArray handshake = "Upgrade: websocket\r\nConnection: keep-alive, Upgrade\r\n"
                                 "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n";
    const QByteArray ws = "GET /ws HTTP/1.1\r\nHost: 10.0.0.5:8080\r\n" + handshake;
    const QByteArray local = "GET /ws HTTP/1.1\r\nHost: 127.0.0.1:8080\r\n" + handshake;
    const QByteArray bodyHead = "GET / HTTP/1.1\r\nContent-Length: 65494\r\n\r\n"; // 42 bytes: 64 KiB in all
    QTest::newRow("GET passes") << QByteArrayList{"GET /board.json HTTP/1.1\r\nHost: x\r\n\r\n"} << "" << 0 << false << false;
    QTest::newRow("head split anywhere") << QByteArrayList{"GET / HTTP/1.1\r\nHost: x\r", "\n\r", "\n"} << "" << 0 << false
                                         << false;
    QTest::newRow("bare LF lines") << QByteArrayList{"POST / HTTP/1.1\nHost: x\n\n"} << "" << 405 << false << false;
    QTest::newRow("empty lines before the request") << QByteArrayList{"\r\n\r\nPUT / HTTP/1.1\r\n\r\n"} << "" << 405 << false
                                                    << false;
    QTest::newRow("HEAD") << QByteArrayList{"HEAD / HTTP/1.1\r\n\r\n"} << "" << 405 << false << false;
    QTest::newRow("lower-case method") << QByteArrayList{"get / HTTP/1.1\r\n\r\n"} << "" << 405 << false << false;
    QTest::newRow("unfinished head waits") << QByteArrayList{"GET / HTTP/1.1\r\nHost: x\r\n"} << "" << 0 << false << false;
    QTest::newRow("head past 64 KiB") << QByteArrayList{"GET / HTTP/1.1\r\nX: " + QByteArray(64 * 1024, 'a')} << "" << 413
                                      << false << false;
    QTest::newRow("body past 64 KiB") << QByteArrayList{"GET / HTTP/1.1\r\nContent-Length: 70000\r\n\r\n"} << "" << 413
                                      << false << false;
    QTest::newRow("exactly 64 KiB") << QByteArrayList{bodyHead, QByteArray(65494, 'b')} << "" << 0 << false << false;
    QTest::newRow("folded line") << QByteArrayList{"GET / HTTP/1.1\r\nX: 1\r\n Origin: http://evil.example\r\n\r\n"} << ""
                                 << 400 << false << false;
    QTest::newRow("folded Upgrade") << QByteArrayList{ws + "X: 1\r\n\tOrigin: http://evil.example\r\n\r\n"} << "" << 400
                                    << false << false;
    QTest::newRow("line without colon") << QByteArrayList{"GET / HTTP/1.1\r\nHost x\r\n\r\n"} << "" << 400 << false << false;
    QTest::newRow("two Hosts") << QByteArrayList{"GET / HTTP/1.1\r\nHost: 127.0.0.1:8080\r\nHost: evil.example\r\n\r\n"}
                               << "127.0.0.1" << 400 << false << false;
    QTest::newRow("chunked") << QByteArrayList{"GET / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n"} << "" << 400 << false
                             << false;
    QTest::newRow("absolute target") << QByteArrayList{"GET http://127.0.0.1:8080/ HTTP/1.1\r\n\r\n"} << "" << 400 << false
                                     << false;
    QTest::newRow("Connection: close") << QByteArrayList{"GET / HTTP/1.1\r\nConnection: Close\r\n\r\n"} << "" << 0 << false
                                       << true;
    QTest::newRow("HTTP/1.0") << QByteArrayList{"GET / HTTP/1.0\r\n\r\n"} << "" << 0 << false << true;
    QTest::newRow("HTTP/1.0 keep-alive") << QByteArrayList{"GET / HTTP/1.0\r\nConnection: keep-alive\r\n\r\n"} << "" << 0
                                         << false << false;

    QTest::newRow("loopback: address") << QByteArrayList{"GET / HTTP/1.1\r\nHost: 127.0.0.1:8080\r\n\r\n"} << "127.0.0.1" << 0
                                       << false << false;
    QTest::newRow("loopback: localhost") << QByteArrayList{"GET / HTTP/1.1\r\nHost: LocalHost:8080\r\n\r\n"} << "127.0.0.1"
                                         << 0 << false << false;
    QTest::newRow("loopback: foreign name") << QByteArrayList{"GET / HTTP/1.1\r\nHost: evil.example:8080\r\n\r\n"}
                                            << "127.0.0.1" << 421 << false << false;
    QTest::newRow("loopback: other port") << QByteArrayList{"GET / HTTP/1.1\r\nHost: 127.0.0.1:9090\r\n\r\n"} << "127.0.0.1"
                                          << 421 << false << false;
    QTest::newRow("loopback: no Host") << QByteArrayList{"GET / HTTP/1.0\r\n\r\n"} << "127.0.0.1" << 0 << false << true;
    QTest::newRow("IPv6 loopback") << QByteArrayList{"GET / HTTP/1.1\r\nHost: [::1]:8080\r\n\r\n"} << "::1" << 0 << false
                                   << false;
    QTest::newRow("LAN address: itself") << QByteArrayList{"GET / HTTP/1.1\r\nHost: 192.168.1.20:8080\r\n\r\n"}
                                         << "192.168.1.20" << 0 << false << false;
    QTest::newRow("LAN address: localhost") << QByteArrayList{"GET / HTTP/1.1\r\nHost: localhost:8080\r\n\r\n"}
                                            << "192.168.1.20" << 421 << false << false;
    QTest::newRow("every interface: any name") << QByteArrayList{"GET / HTTP/1.1\r\nHost: venue-pc:8080\r\n\r\n"}
                                               << "0.0.0.0" << 0 << false << false;

    QTest::newRow("WebSocket without Origin") << QByteArrayList{ws + "\r\n"} << "" << 0 << true << false;
    QTest::newRow("WebSocket from its own page") << QByteArrayList{ws + "Origin: http://10.0.0.5:8080\r\n\r\n"} << "" << 0
                                                 << true << false;
    QTest::newRow("WebSocket from another page") << QByteArrayList{ws + "Origin: http://evil.example\r\n\r\n"} << "" << 403
                                                 << false << false;
    QTest::newRow("second Origin foreign") << QByteArrayList{ws + "Origin: http://10.0.0.5:8080\r\nOrigin: null\r\n\r\n"}
                                           << "" << 403 << false << false;
    QTest::newRow("Origin: another accepted host") << QByteArrayList{local + "Origin: http://localhost:8080\r\n\r\n"}
                                                   << "127.0.0.1" << 0 << true << false;
    QTest::newRow("Origin: foreign, Host ours") << QByteArrayList{local + "Origin: http://evil.example:8080\r\n\r\n"}
                                                << "127.0.0.1" << 403 << false << false;
    QTest::newRow("WebSocket on another path")
        << QByteArrayList{"GET /board.json HTTP/1.1\r\nUpgrade: WebSocket\r\n\r\n"} << "" << 404 << false << false;
    QTest::newRow("WebSocket with a query") << QByteArrayList{"GET /ws?x=1 HTTP/1.1\r\nHost: x\r\n" + handshake + "\r\n"}
                                            << "" << 0 << true << false;
    QTest::newRow("bare Upgrade") << QByteArrayList{"GET /ws HTTP/1.1\r\nHost: x\r\nUpgrade: websocket\r\n\r\n"} << "" << 400
                                  << false << false;
    QTest::newRow("handshake without key") << QByteArrayList{QByteArray(ws).replace("Sec-WebSocket-Key", "X") + "\r\n"} << ""
                                           << 400 << false << false;
    QTest::newRow("handshake of version 8") << QByteArrayList{QByteArray(ws).replace(": 13", ": 8") + "\r\n"} << "" << 400
                                            << false << false;
    QTest::newRow("plain GET of /ws") << QByteArrayList{"GET /ws HTTP/1.1\r\n\r\n"} << "" << 0 << false << false;
}

void tst_RequestGate::feed_refusesOrPasses()
{
    QFETCH(QByteArrayList, chunks);
    QFETCH(QString, bound);
    QFETCH(int, status);
    QFETCH(bool, webSocket);
    QFETCH(bool, close);
    scb::RequestGate gate(bound.isEmpty() ? std::vector<std::string>() : scb::acceptedHosts(bound.toStdString(), 8080));
    int got = 0;
    for (const QByteArray &chunk : chunks)
        got = gate.feed(chunk.toStdString());
    QCOMPARE(got, status);
    QCOMPARE(gate.webSocket(), webSocket);
    QCOMPARE(gate.whole() && gate.request().close, close);
}

void tst_RequestGate::feed_judgesPipelinedRequests_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<int>("status"); // of the second

    const QByteArray get = "GET / HTTP/1.1\r\nHost: localhost:8080\r\n\r\n";
    const QByteArray big = "GET / HTTP/1.1\r\nX: " + QByteArray(40 * 1024, 'a') + "\r\n\r\n";
    QTest::newRow("two GETs") << get << get << 0;
    QTest::newRow("each request counted on its own") << big << big << 0;
    QTest::newRow("a body, then the next") << QByteArray("GET / HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc") << get << 0;
    QTest::newRow("then a POST") << get << QByteArray("POST / HTTP/1.1\r\n\r\n") << 405;
    QTest::newRow("then a bare Upgrade") << get << QByteArray("GET /ws HTTP/1.1\r\nUpgrade: websocket\r\n\r\n") << 400;
    QTest::newRow("then a foreign name") << get << QByteArray("GET / HTTP/1.1\r\nHost: evil.example:8080\r\n\r\n") << 421;
}

void tst_RequestGate::feed_judgesPipelinedRequests()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(int, status);
    scb::RequestGate gate(scb::acceptedHosts("127.0.0.1", 8080));
    const std::string stream = (first + second).toStdString();
    QCOMPARE(gate.feed(stream), 0);
    QVERIFY(gate.whole());
    const std::size_t size = gate.request().size;
    QCOMPARE(size, static_cast<std::size_t>(first.size()));
    gate.startRequest();
    QCOMPARE(gate.feed(std::string_view(stream).substr(size)), status);
    QCOMPARE(gate.whole(), status == 0);
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
