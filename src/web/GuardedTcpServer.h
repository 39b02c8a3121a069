#pragma once
// The board's HTTP server, from the listening socket up. Every limit lives
// here: a cap on live connections in all and per client address, a size
// limit per request, a deadline for a request's head and another for the
// quiet between requests, and a cap on what waits unsent. Each request, the
// pipelined ones included, passes the gate (scb::RequestGate) and is answered
// in turn, the next one read only once the answer before it is out. A
// WebSocket handshake the gate passed is handed on with its bytes unread.

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QTcpServer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QTcpSocket;
class ConnectionWatch;

// What one browser, and all of them together, may cost the program. The
// request size limit is the gate's (scb::MaxRequestBytes).
struct WebLimits
{
    int maxConnections = 200;
    // Well below the total, so that one host cannot lock the other screens out.
    int maxPerAddress = 16;
    // From a request's first byte to its last.
    int headMs = 2000;
    // Between requests, and without progress while an answer goes out.
    // WebSockets are exempt once they are open.
    int idleMs = 10000;
    // A refused or closing connection's client gets this long to read the answer.
    int lingerMs = 2000;
    // A WebSocket that misses a ping's answer is dropped at the next one.
    int pingMs = 30000;
    // A client with more than this unsent (answers, pongs, board updates)
    // is dropped; one answer may be larger, as nothing more is queued behind it.
    qint64 maxBacklog = 1 << 20;
    // Clients only listen; anything they send over a WebSocket is small or a mistake.
    quint64 maxIncoming = 4096;
};

class GuardedTcpServer : public QTcpServer
{
    Q_OBJECT
public:
    struct Answer
    {
        int status = 200;
        QByteArray type;
        QByteArray body;
    };
    // Answers a GET the gate passed, by its path.
    using Route = std::function<Answer(const QByteArray &path)>;

    GuardedTcpServer(const WebLimits &limits, Route route, QObject *parent = nullptr);
    ~GuardedTcpServer() override;

    // Header lines, each ending in CR LF, sent with every answer.
    void setResponseHeaders(const QByteArray &headers) { m_headers = headers; }
    // scb::acceptedHosts() of the address listened on.
    void setAcceptedHosts(std::vector<std::string> hosts) { m_hosts = std::move(hosts); }

    static QByteArray statusResponse(int status, const QByteArray &headers);

signals:
    // A WebSocket handshake, still unread on the socket; the receiver takes it.
    void webSocketRequested(QTcpSocket *socket);

protected:
    void incomingConnection(qintptr handle) override;

private:
    void serve(ConnectionWatch *watch);
    void written(ConnectionWatch *watch);
    void finish(ConnectionWatch *watch);
    void handOver(ConnectionWatch *watch);
    int fromAddress(const QHostAddress &peer) const;

    WebLimits m_limits;
    Route m_route;
    QByteArray m_headers;
    std::vector<std::string> m_hosts;
    std::shared_ptr<int> m_live = std::make_shared<int>(0);
    QList<QPointer<ConnectionWatch>> m_watches;
};
