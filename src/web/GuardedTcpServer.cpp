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
    ConnectionWatch(QTcpSocket *socket, std::shared_ptr<int> live, std::vector<std::string> hosts)
        : QObject(socket), socket(socket), peer(socket->peerAddress()), gate(std::move(hosts)), m_live(std::move(live))
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
    bool live() const { return m_live != nullptr; }

    QTcpSocket *socket;
    const QHostAddress peer;
    scb::RequestGate gate;
    QTimer deadline;
    bool inRequest = false; // the head's deadline runs
    bool answering = false; // an answer is not all out yet
    bool closing = false;   // the last answer is written; nothing more is read
    bool webSocket = false;

private:
    std::shared_ptr<int> m_live;
};

namespace {

QByteArray reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 413:
        return "Payload Too Large";
    case 421:
        return "Misdirected Request";
    case 503:
        return "Service Unavailable";
    default:
        return "Bad Request";
    }
}

// connection: the Connection header's value, if one is sent.
QByteArray answerHead(int status, const QByteArray &type, qsizetype length, const QByteArray &connection,
                      const QByteArray &headers)
{
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason(status) + "\r\nContent-Type: " + type
        + "\r\nContent-Length: " + QByteArray::number(length) + "\r\n"
        + (connection.isEmpty() ? QByteArray() : "Connection: " + connection + "\r\n") + headers + "\r\n";
}

// Closing with unread input makes the system reset the connection, and the
// client may lose the answer with it; so the answer is followed by the end
// of our sending side, and the client closes when it has read it.
void endSendingWhenWritten(QTcpSocket *socket)
{
    if (socket->bytesToWrite() == 0 && socket->state() == QAbstractSocket::ConnectedState)
        scb::endSending(socket->socketDescriptor());
}

} // namespace

GuardedTcpServer::GuardedTcpServer(const WebLimits &limits, Route route, QObject *parent)
    : QTcpServer(parent), m_limits(limits), m_route(std::move(route))
{
}

GuardedTcpServer::~GuardedTcpServer() = default;

QByteArray GuardedTcpServer::statusResponse(int status, const QByteArray &headers)
{
    const QByteArray body = QByteArray::number(status) + ' ' + reason(status) + '\n';
    const QByteArray allow = status == 405 ? "Allow: GET\r\n" : "";
    return answerHead(status, "text/plain; charset=utf-8", body.size(), "close", allow + headers) + body;
}

int GuardedTcpServer::fromAddress(const QHostAddress &peer) const
{
    int count = 0;
    for (const QPointer<ConnectionWatch> &watch : m_watches)
        if (watch && watch->live() && watch->peer == peer)
            ++count;
    return count;
}

void GuardedTcpServer::incomingConnection(qintptr handle)
{
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(handle)) {
        delete socket;
        return;
    }
    connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
    m_watches.removeAll(nullptr);
    if (*m_live >= m_limits.maxConnections || fromAddress(socket->peerAddress()) >= m_limits.maxPerAddress) {
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
    auto *watch = new ConnectionWatch(socket, m_live, m_hosts);
    m_watches.append(watch);
    connect(socket, &QAbstractSocket::disconnected, watch, [watch] { watch->release(); });
    connect(socket, &QIODevice::readyRead, watch, [this, watch] { serve(watch); });
    connect(socket, &QIODevice::bytesWritten, watch, [this, watch] { written(watch); });
    connect(&watch->deadline, &QTimer::timeout, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    watch->deadline.start(m_limits.idleMs);
}

void GuardedTcpServer::serve(ConnectionWatch *watch)
{
    QTcpSocket *socket = watch->socket;
    if (watch->closing) {
        socket->readAll(); // dropped until the client closes or the linger time ends
        return;
    }
    // The next request waits in the socket, and past its limit in the
    // client, until the answer before it is out.
    if (watch->answering || watch->webSocket)
        return;
    // A request's bytes stay unread until it is answered, so that a
    // WebSocket handshake can be handed on whole; the transaction lets the
    // gate see each chunk once.
    if (!socket->isTransactionStarted()) {
        socket->startTransaction();
        watch->gate.startRequest();
    }
    // In small pieces: a pipeline's next request costs what it holds, not
    // the whole buffer behind it.
    while (socket->bytesAvailable() > 0 && !watch->gate.whole()) {
        const QByteArray fresh = socket->read(4096);
        if (const int status = watch->gate.feed(std::string_view(fresh.constData(), static_cast<std::size_t>(fresh.size())))) {
            socket->rollbackTransaction();
            socket->write(statusResponse(status, m_headers));
            finish(watch);
            return;
        }
    }
    if (!watch->gate.whole()) {
        if (!watch->inRequest) {
            watch->inRequest = true;
            watch->deadline.start(m_limits.headMs);
        }
        return;
    }
    watch->inRequest = false;
    watch->deadline.stop();
    socket->rollbackTransaction();
    const scb::GateRequest &request = watch->gate.request();
    if (request.webSocket) {
        handOver(watch);
        return;
    }
    socket->skip(static_cast<qint64>(request.size));
    const Answer answer = m_route(QByteArray::fromStdString(request.path));
    watch->answering = true;
    // An HTTP/1.0 client keeps the connection only when told to.
    const QByteArray connection = request.close ? "close" : request.http10 ? "keep-alive" : "";
    socket->write(answerHead(answer.status, answer.type, answer.body.size(), connection, m_headers));
    // Written as it is: a large picture is shared by every answer, not copied.
    socket->write(answer.body);
    if (request.close) {
        finish(watch);
        return;
    }
    watch->deadline.start(m_limits.idleMs);
    socket->flush();
}

void GuardedTcpServer::written(ConnectionWatch *watch)
{
    QTcpSocket *socket = watch->socket;
    if (watch->closing) {
        endSendingWhenWritten(socket);
        return;
    }
    if (!watch->answering)
        return;
    // Either way the client reads: the idle clock starts again.
    watch->deadline.start(m_limits.idleMs);
    if (socket->bytesToWrite() > 0)
        return;
    watch->answering = false;
    // Queued: a long pipeline is answered one request per turn of the event
    // loop rather than in ever deeper calls.
    if (socket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(watch, [this, watch] { serve(watch); }, Qt::QueuedConnection);
}

void GuardedTcpServer::finish(ConnectionWatch *watch)
{
    QTcpSocket *socket = watch->socket;
    watch->closing = true;
    watch->answering = false;
    socket->readAll();
    socket->flush();
    endSendingWhenWritten(socket);
    watch->deadline.start(m_limits.lingerMs);
}

void GuardedTcpServer::handOver(ConnectionWatch *watch)
{
    QTcpSocket *socket = watch->socket;
    watch->webSocket = true;
    watch->deadline.stop();
    disconnect(socket, &QIODevice::readyRead, watch, nullptr);
    disconnect(socket, &QIODevice::bytesWritten, watch, nullptr);
    // The WebSocket answers a client's pings by itself, so what it queues
    // counts against the same cap as answers: looked at after it has handled
    // what came in, which may itself be a queued call.
    const qint64 cap = m_limits.maxBacklog;
    connect(
        socket, &QIODevice::readyRead, watch,
        [watch, cap] {
            QMetaObject::invokeMethod(
                watch,
                [watch, cap] {
                    if (watch->socket->bytesToWrite() > cap)
                        watch->socket->abort();
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    emit webSocketRequested(socket);
}
