#include "web/GuardedTcpServer.h"

#include "core/RequestGate.h"
#include "core/platform/Platform.h"

#include <QTcpSocket>
#include <QTimer>

// One per accepted connection, a child of its socket: it counts the
// connection while it lives and keeps the gate and the deadline.
class ConnectionWatch : public QObject
{
public:
    ConnectionWatch(QTcpSocket *socket, std::shared_ptr<int> live)
        : QObject(socket), socket(socket), m_live(std::move(live))
    {
        ++*m_live;
        deadline.setSingleShot(true);
    }
    ~ConnectionWatch() override { release(); }

    // Once per connection, whether it closes or is destroyed first.
    void release()
    {
        if (m_live) {
            --*m_live;
            m_live.reset();
        }
    }

    QTcpSocket *socket;
    scb::RequestGate gate;
    QTimer deadline;
    bool refused = false;
    bool webSocket = false;

private:
    std::shared_ptr<int> m_live;
};

GuardedTcpServer::GuardedTcpServer(QObject *parent) : QTcpServer(parent) {}

GuardedTcpServer::~GuardedTcpServer() = default;

QByteArray GuardedTcpServer::statusResponse(int status, const QByteArray &headers)
{
    QByteArray reason;
    switch (status) {
    case 403:
        reason = "Forbidden";
        break;
    case 404:
        reason = "Not Found";
        break;
    case 405:
        reason = "Method Not Allowed";
        break;
    case 413:
        reason = "Payload Too Large";
        break;
    case 503:
        reason = "Service Unavailable";
        break;
    default:
        reason = "Bad Request";
        break;
    }
    const QByteArray body = QByteArray::number(status) + ' ' + reason + '\n';
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\n";
    if (status == 405)
        out += "Allow: GET\r\n";
    out += "Content-Type: text/plain; charset=utf-8\r\nContent-Length: " + QByteArray::number(body.size())
        + "\r\nConnection: close\r\n" + headers + "\r\n" + body;
    return out;
}

void GuardedTcpServer::incomingConnection(qintptr handle)
{
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(handle)) {
        delete socket;
        return;
    }
    connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
    if (*m_live >= WebLimits::MaxConnections) {
        // Not lingered: under a flood each refusal must cost as little as possible.
        socket->write(statusResponse(503, m_headers));
        socket->disconnectFromHost();
        return;
    }
    // A board change is one small message: out at once, not held back to
    // be merged with data that is not coming.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    // Whatever a client sends, no more than one request's limit is ever
    // buffered: past it the socket stops reading and the gate refuses.
    socket->setReadBufferSize(static_cast<qint64>(scb::MaxRequestBytes) + 1);
    auto *watch = new ConnectionWatch(socket, m_live);
    m_watches.removeAll(nullptr);
    m_watches.append(watch);
    connect(socket, &QAbstractSocket::disconnected, watch, [watch] { watch->release(); });
    // Connected before the HTTP server connects its own reader, so this one
    // sees each chunk first and can keep it from the server.
    connect(socket, &QIODevice::readyRead, watch, [this, socket, watch] { readRequest(socket, watch); });
    connect(socket, &QIODevice::bytesWritten, watch, [this, watch] {
        if (!watch->refused && !watch->webSocket)
            watch->deadline.start(WebLimits::IdleMs);
    });
    connect(&watch->deadline, &QTimer::timeout, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    watch->deadline.start(WebLimits::IdleMs);
    addPendingConnection(socket);
}

void GuardedTcpServer::readRequest(QTcpSocket *socket, ConnectionWatch *watch)
{
    if (watch->refused || watch->gate.webSocket())
        return;
    // The HTTP server holds a request's bytes in a read transaction until the
    // request is whole, so no transaction means the next request begins.
    if (!socket->isTransactionStarted())
        watch->gate.startRequest();
    const QByteArray fresh = socket->peek(socket->bytesAvailable());
    if (const int status = watch->gate.feed(std::string_view(fresh.constData(), static_cast<std::size_t>(fresh.size()))))
        refuse(socket, watch, status);
}

void GuardedTcpServer::refuse(QTcpSocket *socket, ConnectionWatch *watch, int status)
{
    watch->refused = true;
    // Also keeps this chunk from the HTTP server, whose reader comes next.
    disconnect(socket, &QIODevice::readyRead, nullptr, nullptr);
    if (socket->isTransactionStarted())
        socket->rollbackTransaction();
    socket->readAll();
    socket->write(statusResponse(status, m_headers));
    // Closing with unread input makes the system reset the connection, and
    // the client may lose the answer with it; so the answer is followed by
    // the end of our sending side, and what the client still sends is read
    // and dropped until it closes or the linger time ends.
    auto endSending = [socket] {
        if (socket->bytesToWrite() == 0 && socket->state() == QAbstractSocket::ConnectedState)
            scb::endSending(socket->socketDescriptor());
    };
    connect(socket, &QIODevice::readyRead, watch, [socket] { socket->readAll(); });
    connect(socket, &QIODevice::bytesWritten, watch, endSending);
    socket->flush();
    endSending();
    watch->deadline.start(WebLimits::LingerMs);
}

void GuardedTcpServer::markWebSocket(const QHostAddress &peer, quint16 peerPort)
{
    for (const QPointer<ConnectionWatch> &watch : m_watches) {
        if (watch && watch->socket->peerPort() == peerPort && watch->socket->peerAddress() == peer) {
            watch->webSocket = true;
            watch->deadline.stop();
        }
    }
}
