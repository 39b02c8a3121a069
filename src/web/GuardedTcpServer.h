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

// What one browser, and all of them together, may cost the program. The
// request size limit is the gate's (scb::MaxRequestBytes).
namespace WebLimits {
inline constexpr int MaxConnections = 200;
// A connection gets this long for each request; an answer starts the clock
// again. WebSockets are exempt once they are open.
inline constexpr int IdleMs = 10000;
// A refused request's sender gets this long to read the refusal.
inline constexpr int LingerMs = 2000;
// A WebSocket that misses a ping's answer is dropped at the next one.
inline constexpr int PingMs = 30000;
// A browser that stops reading gets no more than this queued for it.
inline constexpr qint64 MaxBacklog = 1 << 20;
// Clients only listen; anything they send is small or a mistake.
inline constexpr quint64 MaxIncoming = 4096;
} // namespace WebLimits

class GuardedTcpServer : public QTcpServer
{
    Q_OBJECT
public:
    explicit GuardedTcpServer(QObject *parent = nullptr);
    ~GuardedTcpServer() override;

    // Header lines, each ending in CR LF, for the refusals written here.
    void setResponseHeaders(const QByteArray &headers) { m_headers = headers; }

    // The connection from this peer is now an open WebSocket.
    void markWebSocket(const QHostAddress &peer, quint16 peerPort);

    static QByteArray statusResponse(int status, const QByteArray &headers);

protected:
    void incomingConnection(qintptr handle) override;

private:
    void readRequest(QTcpSocket *socket, ConnectionWatch *watch);
    void refuse(QTcpSocket *socket, ConnectionWatch *watch, int status);

    QByteArray m_headers;
    std::shared_ptr<int> m_live = std::make_shared<int>(0);
    QList<QPointer<ConnectionWatch>> m_watches;
};
