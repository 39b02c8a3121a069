#include "web/BoardServer.h"

#include "web/BoardPage.h"

#include <QBuffer>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QWebSocket>

#include <algorithm>
#include <utility>

namespace {

// Every answer carries these, the refusals written in front of the server
// included.
std::vector<std::pair<QByteArray, QByteArray>> securityHeaders()
{
    return {{"X-Content-Type-Options", "nosniff"},
            {"Content-Security-Policy", BoardPage::contentSecurityPolicy()},
            {"Cache-Control", "no-store"},
            {"Referrer-Policy", "no-referrer"}};
}

QByteArray securityHeaderLines()
{
    QByteArray lines;
    for (const auto &[name, value] : securityHeaders())
        lines += name + ": " + value + "\r\n";
    return lines;
}

QHttpServerResponse withSecurityHeaders(QHttpServerResponse &&response)
{
    for (const auto &[name, value] : securityHeaders())
        response.setHeader(name, value);
    return std::move(response);
}

QHttpServerResponse notFound()
{
    return QHttpServerResponse("text/plain; charset=utf-8", "404 Not Found\n", QHttpServerResponse::StatusCode::NotFound);
}

} // namespace

BoardServer::BoardServer(QObject *parent) : QObject(parent), m_tcp(new GuardedTcpServer(this))
{
    m_tcp->setResponseHeaders(securityHeaderLines());
    using Method = QHttpServerRequest::Method;
    m_http.route("/", Method::Get, [] {
        return QHttpServerResponse("text/html; charset=utf-8", BoardPage::html());
    });
    m_http.route("/board.json", Method::Get, [this] {
        return QHttpServerResponse("application/json", QByteArray::fromStdString(m_board.json()));
    });
    m_http.route("/picture", Method::Get, [this] {
        const QByteArray png = pictureBytes();
        return png.isEmpty() ? notFound() : QHttpServerResponse("image/png", png);
    });
    // Qt's server upgrades a request to a WebSocket only once a route has
    // taken it; the gate in front has already checked its path and Origin.
    m_http.route("/ws", Method::Get, [](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
        if (request.value("Upgrade").compare("websocket", Qt::CaseInsensitive) != 0)
            withSecurityHeaders(notFound()).write(std::move(responder));
    });
    m_http.afterRequest([](QHttpServerResponse &&response) { return withSecurityHeaders(std::move(response)); });
    m_http.setMissingHandler([](const QHttpServerRequest &, QHttpServerResponder &&responder) {
        withSecurityHeaders(notFound()).write(std::move(responder));
    });
    connect(&m_http, &QAbstractHttpServer::newWebSocketConnection, this, &BoardServer::acceptWebSockets);

    // A browser that vanished without closing (a screen unplugged) would
    // hold its place forever; one that misses a ping's answer is dropped.
    m_ping.setInterval(WebLimits::PingMs);
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
    m_http.bind(m_tcp);
    m_ping.start();
    return true;
}

quint16 BoardServer::port() const
{
    return m_tcp->serverPort();
}

void BoardServer::publish(const scb::BoardView &view, const QImage &picture)
{
    if (!m_board.update(view))
        return;
    if (m_pngVersion != m_board.pictureVersion()) {
        m_picture = view.picture.loaded ? picture : QImage();
        m_png.clear();
        m_pngVersion = m_board.pictureVersion();
    }
    const QString text = QString::fromStdString(m_board.json());
    // Copied: a client whose queue is full is dropped on the way.
    const std::vector<Client> clients = m_clients;
    for (const Client &c : clients)
        send(c.socket, text);
}

QByteArray BoardServer::pictureBytes()
{
    if (m_png.isEmpty() && !m_picture.isNull()) {
        QBuffer buffer(&m_png);
        buffer.open(QIODevice::WriteOnly);
        m_picture.save(&buffer, "PNG");
    }
    return m_png;
}

void BoardServer::acceptWebSockets()
{
    while (std::unique_ptr<QWebSocket> next = m_http.nextPendingWebSocketConnection()) {
        QWebSocket *socket = next.release();
        socket->setParent(this);
        m_tcp->markWebSocket(socket->peerAddress(), socket->peerPort());
        socket->setMaxAllowedIncomingFrameSize(WebLimits::MaxIncoming);
        socket->setMaxAllowedIncomingMessageSize(WebLimits::MaxIncoming);
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
    if (socket->bytesToWrite() > WebLimits::MaxBacklog) {
        socket->abort();
        dropClient(socket);
        return;
    }
    socket->sendTextMessage(text);
    // Out now rather than when the event loop comes round again.
    socket->flush();
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
