#include "web/BoardServer.h"

#include "core/RequestGate.h"
#include "web/BoardPage.h"

#include <QWebSocket>

#include <algorithm>
#include <utility>

namespace {

// Every answer carries these, the refusals included.
QByteArray securityHeaderLines()
{
    return "X-Content-Type-Options: nosniff\r\nContent-Security-Policy: " + BoardPage::contentSecurityPolicy()
        + "\r\nCache-Control: no-store\r\nReferrer-Policy: no-referrer\r\n";
}

} // namespace

BoardServer::BoardServer(const WebLimits &limits, QObject *parent)
    : QObject(parent),
      m_limits(limits),
      m_tcp(new GuardedTcpServer(limits, [this](const QByteArray &path) { return answer(path); }, this)),
      m_webSockets(QString(), QWebSocketServer::NonSecureMode)
{
    m_tcp->setResponseHeaders(securityHeaderLines());
    connect(m_tcp, &GuardedTcpServer::webSocketRequested, this,
            [this](QTcpSocket *socket) { m_webSockets.handleConnection(socket); });
    connect(&m_webSockets, &QWebSocketServer::newConnection, this, &BoardServer::acceptWebSockets);

    // A browser that vanished without closing (a screen unplugged) would
    // hold its place forever; one that misses a ping's answer is dropped.
    m_ping.setInterval(m_limits.pingMs);
    connect(&m_ping, &QTimer::timeout, this, &BoardServer::pingClients);
}

BoardServer::~BoardServer()
{
    for (const Client &c : m_clients)
        delete c.socket;
}

bool BoardServer::listen(const QHostAddress &address, quint16 port)
{
    if (!m_tcp->listen(address, port)) {
        m_error = m_tcp->errorString();
        return false;
    }
    m_tcp->setAcceptedHosts(scb::acceptedHosts(address.toString().toStdString(), m_tcp->serverPort()));
    m_ping.start();
    return true;
}

quint16 BoardServer::port() const
{
    return m_tcp->serverPort();
}

GuardedTcpServer::Answer BoardServer::answer(const QByteArray &path) const
{
    if (path == "/")
        return {200, "text/html; charset=utf-8", BoardPage::html()};
    if (path == "/board.json")
        return {200, "application/json", QByteArray::fromStdString(m_board.json())};
    if (path == "/picture" && !m_png.png().isEmpty())
        return {200, "image/png", m_png.png()};
    return {404, "text/plain; charset=utf-8", "404 Not Found\n"};
}

void BoardServer::publish(const scb::BoardView &view, const QImage &picture)
{
    if (!m_board.update(view))
        return;
    // Until a new picture is encoded, /picture answers 404.
    m_png.encode(m_board.pictureVersion(), view.picture.loaded ? picture : QImage());
    const QString text = QString::fromStdString(m_board.json());
    // Copied: a client whose queue is full is dropped on the way.
    const std::vector<Client> clients = m_clients;
    for (const Client &c : clients)
        send(c.socket, text);
}

void BoardServer::acceptWebSockets()
{
    while (QWebSocket *socket = m_webSockets.nextPendingConnection()) {
        socket->setParent(this);
        socket->setMaxAllowedIncomingFrameSize(m_limits.maxIncoming);
        socket->setMaxAllowedIncomingMessageSize(m_limits.maxIncoming);
        connect(socket, &QWebSocket::disconnected, this, [this, socket] { dropClient(socket); });
        connect(socket, &QWebSocket::pong, this, [this, socket] {
            for (Client &c : m_clients)
                if (c.socket == socket)
                    c.answered = true;
        });
        m_clients.push_back({socket, true});
        send(socket, QString::fromStdString(m_board.json()));
    }
}

void BoardServer::send(QWebSocket *socket, const QString &text)
{
    socket->sendTextMessage(text);
    // Out now rather than when the event loop comes round again.
    socket->flush();
    if (socket->bytesToWrite() > m_limits.maxBacklog) {
        socket->abort();
        dropClient(socket);
    }
}

void BoardServer::dropClient(QWebSocket *socket)
{
    const auto it = std::find_if(m_clients.begin(), m_clients.end(), [socket](const Client &c) { return c.socket == socket; });
    if (it == m_clients.end())
        return;
    m_clients.erase(it);
    socket->deleteLater();
}

void BoardServer::pingClients()
{
    std::vector<QWebSocket *> silent;
    for (Client &c : m_clients) {
        if (!c.answered)
            silent.push_back(c.socket);
        c.answered = false;
    }
    for (QWebSocket *socket : silent) {
        socket->abort();
        dropClient(socket);
    }
    for (const Client &c : m_clients)
        c.socket->ping();
}
