// The publisher against a stand-in for the venue's engine: a local HTTP
// server that records what it is sent and answers as told.

#include "web/BoardPublisher.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <cstdio>
#include <memory>
#include <utility>

namespace {

class FakeEngine : public QObject
{
public:
    struct Request
    {
        QByteArray path;
        QByteArray body;
    };

    QList<Request> requests;
    QList<int> answers; // statuses to give in turn; then 202, as Nchan does
    bool holding = false; // keep requests unanswered until release()

    bool listen(quint16 port = 0)
    {
        connect(&m_server, &QTcpServer::newConnection, this, &FakeEngine::accept, Qt::UniqueConnection);
        return m_server.listen(QHostAddress::LocalHost, port);
    }
    quint16 port() const { return m_server.serverPort(); }
    QUrl url() const { return urlAt(port()); }
    static QUrl urlAt(quint16 port) { return QUrl(QStringLiteral("http://127.0.0.1:%1/board/pub").arg(port)); }

    void release()
    {
        holding = false;
        for (QTcpSocket *socket : std::exchange(m_held, {}))
            answer(socket);
    }

private:
    void accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            auto buffer = std::make_shared<QByteArray>();
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
                *buffer += socket->readAll();
                while (takeRequest(*buffer)) {
                    if (holding)
                        m_held.append(socket);
                    else
                        answer(socket);
                }
            });
        }
    }

    bool takeRequest(QByteArray &buffer)
    {
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return false;
        const QByteArray head = buffer.left(end);
        qsizetype length = 0;
        for (const QByteArray &line : head.split('\n'))
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toLongLong();
        if (buffer.size() < end + 4 + length)
            return false;
        requests.append({head.split(' ').value(1), buffer.mid(end + 4, length)});
        buffer.remove(0, end + 4 + length);
        return true;
    }

    void answer(QTcpSocket *socket)
    {
        const int status = answers.isEmpty() ? 202 : answers.takeFirst();
        socket->write("HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Length: 0\r\n\r\n");
    }

    QTcpServer m_server;
    QList<QTcpSocket *> m_held;
};

scb::BoardView boardSaying(const char *first)
{
    scb::BoardView view;
    view.rows[0] = scb::makeRowLine(first);
    view.shown = true;
    return view;
}

QString firstRow(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object().value("rows").toArray().first().toString();
}

// What the publisher said on its report stream, one entry a line.
QStringList reported(std::FILE *report)
{
    std::rewind(report);
    QByteArray text;
    char chunk[256];
    while (std::size_t n = std::fread(chunk, 1, sizeof chunk, report))
        text.append(chunk, static_cast<qsizetype>(n));
    return QString::fromLocal8Bit(text).split('\n', Qt::SkipEmptyParts);
}

} // namespace

class TestBoardPublisher : public QObject
{
    Q_OBJECT
private slots:
    void checkPublishUrl_data();
    void checkPublishUrl();
    void changesWhileSending_pictureFirstThenOnlyTheNewest();
    void engineFailing_retriesWithTheNewestAndSaysSoOncePerOutage_data();
    void engineFailing_retriesWithTheNewestAndSaysSoOncePerOutage();
};

void TestBoardPublisher::checkPublishUrl_data()
{
    QTest::addColumn<QByteArray>("argument");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("engine on this machine") << QByteArray("http://127.0.0.1:8090/board/pub") << true;
    QTest::newRow("https, host name") << QByteArray("https://engine.example/board/pub") << true;
    QTest::newRow("no scheme") << QByteArray("127.0.0.1:8090/board/pub") << false;
    QTest::newRow("other scheme") << QByteArray("ftp://127.0.0.1/board/pub") << false;
    QTest::newRow("no host") << QByteArray("http:///board/pub") << false;
    QTest::newRow("fragment") << QByteArray("http://127.0.0.1:8090/board/pub#x") << false;
    QTest::newRow("empty") << QByteArray("") << false;
}

void TestBoardPublisher::checkPublishUrl()
{
    QFETCH(QByteArray, argument);
    QFETCH(bool, accepted);
    const std::optional<QString> why = BoardPublisher::checkPublishUrl(argument.constData());
    QCOMPARE(!why, accepted);
    if (why)
        QVERIFY(!why->isEmpty());
}

void TestBoardPublisher::changesWhileSending_pictureFirstThenOnlyTheNewest()
{
    FakeEngine engine;
    QVERIFY(engine.listen());
    engine.holding = true;
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> report(std::tmpfile(), std::fclose);
    BoardPublisher publisher(engine.url(), report.get());

    QImage picture(4, 3, QImage::Format_RGB32);
    picture.fill(Qt::red);
    scb::BoardView view = boardSaying("first");
    view.picture = {true, 4, 3, picture.cacheKey()};
    publisher.publish(view, picture);
    QTRY_COMPARE(engine.requests.size(), 1);
    for (const char *row : {"second", "third", "newest"}) {
        view.rows[0] = scb::makeRowLine(row);
        publisher.publish(view, picture);
    }
    engine.release();
    QTRY_COMPARE(engine.requests.size(), 2);

    QCOMPARE(engine.requests[0].path, QByteArray("/board/pub/picture"));
    QCOMPARE(QImage::fromData(engine.requests[0].body, "PNG").convertToFormat(QImage::Format_RGB32), picture);
    QCOMPARE(engine.requests[1].path, QByteArray("/board/pub"));
    QCOMPARE(firstRow(engine.requests[1].body), QStringLiteral("newest"));
    QVERIFY(reported(report.get()).isEmpty());
}

void TestBoardPublisher::engineFailing_retriesWithTheNewestAndSaysSoOncePerOutage_data()
{
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<bool>("startsDown");
    QTest::newRow("error once") << QList<int>{500} << false;
    QTest::newRow("errors twice, one outage") << QList<int>{500, 503} << false;
    QTest::newRow("refused until it starts") << QList<int>{} << true;
}

void TestBoardPublisher::engineFailing_retriesWithTheNewestAndSaysSoOncePerOutage()
{
    QFETCH(QList<int>, answers);
    QFETCH(bool, startsDown);
    FakeEngine engine;
    engine.answers = answers;
    quint16 port = 0;
    if (startsDown) {
        // A port nobody listens on until the first try has failed.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    } else {
        QVERIFY(engine.listen());
        port = engine.port();
    }
    const QUrl url = FakeEngine::urlAt(port);
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> report(std::tmpfile(), std::fclose);
    BoardPublisher publisher(url, report.get());

    publisher.publish(boardSaying("before"), {});
    QTRY_COMPARE(reported(report.get()).size(), 1);
    publisher.publish(boardSaying("during"), {});
    if (startsDown)
        QVERIFY(engine.listen(port));
    QTRY_VERIFY_WITH_TIMEOUT(reported(report.get()).last().contains("publishing the board to"), 15000);

    const QStringList lines = reported(report.get());
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[0].contains("cannot publish") && lines[0].contains(url.toDisplayString()), qPrintable(lines[0]));
    QVERIFY(!engine.requests.isEmpty());
    QCOMPARE(firstRow(engine.requests.last().body), QStringLiteral("during"));
}

QTEST_GUILESS_MAIN(TestBoardPublisher)
#include "tst_BoardPublisher.moc"
