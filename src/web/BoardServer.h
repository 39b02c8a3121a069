#pragma once
// The board for any browser: one more view of the board, fed with values
// through publish() and never reaching into the windows. It serves the page
// at "/", the board as JSON at "/board.json", the background picture as PNG
// at "/picture", and pushes every change to the WebSockets at "/ws". It
// answers GET only and nothing it receives changes the board.

#include <QHostAddress>
#include <QImage>
#include <QObject>
#include <QTimer>
#include <QWebSocketServer>

#include <memory>
#include <vector>

#include "core/BoardView.h"
#include "web/GuardedTcpServer.h"
#include "web/PngEncoder.h"

class QWebSocket;

class BoardServer : public QObject
{
    Q_OBJECT
public:
    explicit BoardServer(const WebLimits &limits = WebLimits(), QObject *parent = nullptr);
    ~BoardServer() override;

    bool listen(const QHostAddress &address, quint16 port);
    QString errorString() const { return m_error; }
    quint16 port() const;

    // The board as it now looks; a new picture is encoded for /picture on a
    // worker thread, which answers 404 until it is ready.
    void publish(const scb::BoardView &view, const QImage &picture);

private:
    struct Client
    {
        QWebSocket *socket = nullptr;
        bool answered = true; // to the last ping
    };

    GuardedTcpServer::Answer answer(const QByteArray &path) const;
    void acceptWebSockets();
    void dropClient(QWebSocket *socket);
    void send(QWebSocket *socket, const QString &text);
    void pingClients();

    WebLimits m_limits;
    GuardedTcpServer *m_tcp = nullptr; // a child
    QWebSocketServer m_webSockets;
    scb::BoardPublication m_board;
    PngEncoder m_png;
    std::vector<Client> m_clients;
    QTimer m_ping;
    QString m_error;
};
