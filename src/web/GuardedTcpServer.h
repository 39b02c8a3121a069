#pragma once
// The listening socket handed to the HTTP server. Qt's HTTP server keeps
// every byte of a request until the request is complete and has no limits of
// its own, so the limits live here, in front of it: a cap on live
// connections, a size limit per request, a deadline for each request, and
// refusals (wrong method, WebSocket from a foreign page) answered before the
// server parses anything.

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QTcpServer>

#include <memory>

class QTcpSocket;
class ConnectionWatch;

class GuardedTcpServer : public QTcpServer
{
    Q_OBJECT
public:
    struct Limits
    {
        int maxConnections = 200;
        // A connection gets this long for each request; an answer starts
        // the clock again. WebSockets are exempt once they are open.
        int idleMs = 10000;
        // A refused request's sender gets this long to read the refusal.
        int lingerMs = 2000;
    };

    explicit GuardedTcpServer(QObject *parent = nullptr);
    ~GuardedTcpServer() override;

    void setLimits(const Limits &limits) { m_limits = limits; }
    // Header lines, each ending in CR LF, for the refusals written here.
    void setResponseHeaders(const QByteArray &headers) { m_headers = headers; }

    int liveConnections() const { return *m_live; }

    // The connection from this peer is now an open WebSocket.
    void markWebSocket(const QHostAddress &peer, quint16 peerPort);

    static QByteArray statusResponse(int status, const QByteArray &headers);

protected:
    void incomingConnection(qintptr handle) override;

private:
    void readRequest(QTcpSocket *socket, ConnectionWatch *watch);
    void refuse(QTcpSocket *socket, ConnectionWatch *watch, int status);

    Limits m_limits;
    QByteArray m_headers;
    std::shared_ptr<int> m_live = std::make_shared<int>(0);
    QList<QPointer<ConnectionWatch>> m_watches;
};
