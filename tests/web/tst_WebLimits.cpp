// The web server's limits against real sockets, with short injected limits:
// the deadlines, closing after an answer, the places per client address, a
// client that never reads, and the picture encoded away from this thread.

#include "web/BoardServer.h"

#include <QImage>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTest>

namespace {

constexpr int Never = 60000; // longer than any test runs

struct Client
{
    explicit Client(quint16 port, const QString &from = QStringLiteral("127.0.0.1"))
    {
        socket.bind(QHostAddress(from));
        socket.connectToHost(QHostAddress::LocalHost, port);
    }
    // Reads what came so far into got.
    void keepReading()
    {
        QObject::connect(&socket, &QIODevice::readyRead, &socket, [this] { got += socket.readAll(); });
    }
    bool closed() const { return socket.state() == QAbstractSocket::UnconnectedState; }
    QByteArray status() const { return got.mid(9, 3); }

    QTcpSocket socket;
    QByteArray got;
};

// One GET on a connection of its own: the whole answer, or what came
// before the server closed.
QByteArray fetch(quint16 port, const QByteArray &path, const QString &from = QStringLiteral("127.0.0.1"))
{
    Client c(port, from);
    c.keepReading();
    c.socket.write("GET " + path + " HTTP/1.1\r\n\r\n");
    const auto whole = [&c] {
        const qsizetype end = c.got.indexOf("\r\n\r\n");
        const qsizetype field = c.got.indexOf("Content-Length: ");
        return end >= 0 && field >= 0 && c.got.size() - end - 4 >= c.got.mid(field + 16, 12).split('\r').first().toLongLong();
    };
    if (!QTest::qWaitFor([&] { return c.closed() || whole(); }, 5000))
        return {};
    return c.got;
}

QByteArray statusOf(quint16 port, const QString &from = QStringLiteral("127.0.0.1"))
{
    return fetch(port, "/board.json", from).mid(9, 3);
}

} // namespace

class tst_WebLimits : public QObject
{
    Q_OBJECT

private slots:
    void deadlinesAndClosing_data();
    void deadlinesAndClosing();
    void slotsPerAddress();
    void clientThatNeverReads_data();
    void clientThatNeverReads();
    void picture_servedOnceEncoded();
};

void tst_WebLimits::deadlinesAndClosing_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("headMs");
    QTest::addColumn<int>("idleMs");
    QTest::addColumn<QByteArray>("status"); // empty: no answer
    QTest::addColumn<bool>("closed");

    QTest::newRow("head that never ends") << QByteArray("GET / HTTP/1.1\r\nHost: x\r\n") << 100 << Never << QByteArray()
                                          << true;
    QTest::newRow("idle after an answer") << QByteArray("GET / HTTP/1.1\r\n\r\n") << Never << 100 << QByteArray("200")
                                          << true;
    QTest::newRow("keep-alive") << QByteArray("GET / HTTP/1.1\r\n\r\n") << Never << Never << QByteArray("200") << false;
    QTest::newRow("Connection: close") << QByteArray("GET / HTTP/1.1\r\nConnection: close\r\n\r\n") << Never << Never
                                       << QByteArray("200") << true;
    QTest::newRow("HTTP/1.0") << QByteArray("GET /board.json HTTP/1.0\r\n\r\n") << Never << Never << QByteArray("200")
                              << true;
    QTest::newRow("HTTP/1.0 keep-alive") << QByteArray("GET /board.json HTTP/1.0\r\nConnection: keep-alive\r\n\r\n")
                                         << Never << Never << QByteArray("200") << false;
    QTest::newRow("bare Upgrade: refused at once")
        << QByteArray("GET /ws HTTP/1.1\r\nUpgrade: websocket\r\n\r\n") << Never << Never << QByteArray("400") << true;
    QTest::newRow("pipelined, then close")
        << QByteArray("GET / HTTP/1.1\r\n\r\nGET /nothing HTTP/1.1\r\nConnection: close\r\n\r\n") << Never << Never
        << QByteArray("200") << true;
}

void tst_WebLimits::deadlinesAndClosing()
{
    QFETCH(QByteArray, request);
    QFETCH(int, headMs);
    QFETCH(int, idleMs);
    QFETCH(QByteArray, status);
    QFETCH(bool, closed);
    WebLimits limits;
    limits.headMs = headMs;
    limits.idleMs = idleMs;
    limits.lingerMs = Never;
    BoardServer server(limits);
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    Client c(server.port());
    c.keepReading();
    c.socket.write(request);
    if (closed) {
        QTRY_VERIFY_WITH_TIMEOUT(c.closed(), 5000);
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(c.got.contains("\r\n\r\n"), 5000);
        QTest::qWait(200);
        QVERIFY(!c.closed());
        // An HTTP/1.0 client keeps it open only when told so.
        QCOMPARE(c.got.contains("\r\nConnection: keep-alive\r\n"), request.contains("HTTP/1.0"));
    }
    QCOMPARE(c.status(), status);
    // Every request of a pipeline is answered, the last one included.
    QCOMPARE(c.got.count("HTTP/1.1 "), request.count("\r\n\r\n"));
}

void tst_WebLimits::slotsPerAddress()
{
    WebLimits limits;
    limits.maxConnections = 3;
    limits.maxPerAddress = 2;
    BoardServer server(limits);
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    Client first(server.port());
    first.keepReading();
    first.socket.write("GET / HTTP/1.1\r\n\r\n");
    QTRY_COMPARE(first.status(), QByteArray("200"));
    Client second(server.port());
    second.keepReading();
    second.socket.write("GET / HTTP/1.1\r\n\r\n");
    QTRY_COMPARE(second.status(), QByteArray("200"));

    QCOMPARE(statusOf(server.port()), QByteArray("503")); // a third from the same address
    Client other(server.port(), QStringLiteral("127.0.0.2"));
    other.socket.write("GET / HTTP/1.1\r\n\r\n");
    QTRY_VERIFY(other.socket.bytesAvailable() > 0);
    QCOMPARE(statusOf(server.port(), QStringLiteral("127.0.0.3")), QByteArray("503")); // three in all
    first.socket.abort();
    QTRY_COMPARE(statusOf(server.port()), QByteArray("200")); // a place freed
}

void tst_WebLimits::clientThatNeverReads_data()
{
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<QByteArray>("unit"); // sent again and again
    QTest::addColumn<bool>("dropped");

    QTest::newRow("pipelined requests: the next waits for the answer")
        << QByteArray() << QByteArray("GET / HTTP/1.1\r\n\r\n") << false;
    // Masked pings of 125 bytes, each answered with a pong the client never reads.
    const QByteArray ping = QByteArray("\x89\xfd", 2) + QByteArray(4, '\0') + QByteArray(125, 'p');
    QTest::newRow("WebSocket pings: dropped at the cap")
        << QByteArray("GET /ws HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                      "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n")
        << ping << true;
}

void tst_WebLimits::clientThatNeverReads()
{
    QFETCH(QByteArray, start);
    QFETCH(QByteArray, unit);
    QFETCH(bool, dropped);
    WebLimits limits;
    limits.idleMs = Never;
    limits.maxBacklog = 64 * 1024;
    BoardServer server(limits);
    QVERIFY(server.listen(QHostAddress::Any, 0));
    Client c(server.port());
    QVERIFY(c.socket.waitForConnected(5000));
    // Small buffers on this side, so what the server sends piles up there.
    c.socket.setReadBufferSize(1);
    c.socket.setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 16 * 1024);
    c.socket.write(start);
    QByteArray batch;
    while (batch.size() < 64 * 1024)
        batch += unit;
    for (qint64 sent = 0; sent < 32 * 1024 * 1024 && !c.closed() && c.socket.bytesToWrite() < 256 * 1024;
         sent += batch.size()) {
        c.socket.write(batch);
        QTest::qWait(1);
    }
    // Time enough for a server that kept reading to take it all.
    QTest::qWait(1000);
    QCOMPARE(c.closed(), dropped);
    if (!dropped)
        QVERIFY(c.socket.bytesToWrite() > 0); // the server stopped reading
}

void tst_WebLimits::picture_servedOnceEncoded()
{
    BoardServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    QImage noisy(1200, 1200, QImage::Format_RGB32);
    for (int y = 0; y < noisy.height(); ++y)
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(noisy.scanLine(y)), noisy.width());
    scb::BoardView view;
    view.picture = {true, noisy.width(), noisy.height(), 1};
    server.publish(view, noisy);
    QImage small(3, 1, QImage::Format_RGB32);
    small.fill(Qt::red);
    view.picture = {true, 3, 1, 2};
    server.publish(view, small);

    // 404 until the newest picture is encoded; never the one it replaced.
    QByteArray answer;
    QTRY_VERIFY_WITH_TIMEOUT((answer = fetch(server.port(), "/picture")).mid(9, 3) != "404", 10000);
    QCOMPARE(answer.mid(9, 3), QByteArray("200"));
    const QImage served = QImage::fromData(answer.mid(answer.indexOf("\r\n\r\n") + 4), "PNG");
    QCOMPARE(served.size(), QSize(3, 1));
}

QTEST_MAIN(tst_WebLimits)
#include "tst_WebLimits.moc"
