#pragma once
// The board for any browser: one more view of the board, fed with values
// through publish() and never reaching into the windows. It serves the page
// at "/", the board as JSON at "/board.json", the background picture as PNG
// at "/picture", and pushes every change to the WebSockets at "/ws". It
// answers GET only and nothing it receives changes the board.

#include <QHostAddress>
#include <QHttpServer>
#include <QImage>
#include <QObject>
#include <QTimer>

#include <vector>

#include "core/BoardView.h"
#include "web/GuardedTcpServer.h"

class QWebSocket;

class BoardServer : public QObject
{
    Q_OBJECT
public:
    explicit BoardServer(QObject *parent = nullptr);
    ~BoardServer() override;

    bool listen(const QHostAddress &address, quint16 port);
    QString errorString() const { return m_error; }
    quint16 port() const;

    // The board as it now looks; the picture is read only when it changed.
    void publish(const scb::BoardView &view, const QImage &picture);

private:
    struct Client
    {
        QWebSocket *socket = nullptr;
        bool answered = true; // to the last ping
    };

    void acceptWebSockets();
    void dropClient(QWebSocket *socket);
    void send(QWebSocket *socket, const QString &text);
    void pingClients();
    QByteArray pictureBytes();

    QHttpServer m_http;
    GuardedTcpServer *m_tcp = nullptr; // owned by m_http once bound
    scb::BoardPublication m_board;
    QImage m_picture;
    QByteArray m_png;
    std::uint64_t m_pngVersion = 0;
    std::vector<Client> m_clients;
    QTimer m_ping;
    QString m_error;
};
