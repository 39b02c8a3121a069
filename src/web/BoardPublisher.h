#pragma once
// The board for a venue's worth of phones: each change is POSTed once to a
// publisher location of the venue's engine (nginx with Nchan, deploy/), which
// fans it out. The document is the one /board.json serves; the background
// picture goes as PNG to the same URL with "/picture" appended, always ahead
// of the board that names it.
//
// Nothing here waits: one request is in flight at most, and a change made
// meanwhile replaces any unsent one, so the newest board wins and none goes
// out of order. When the engine is down or refuses, it tries again after 1 s,
// backing off to 5 s, with the board as it then is; one line on the report
// stream says publishing stopped, one that it works again.

#include <QImage>
#include <QNetworkAccessManager>
#include <QObject>
#include <QTimer>
#include <QUrl>

#include <cstdint>
#include <cstdio>
#include <optional>

#include "core/BoardView.h"
#include "web/PngEncoder.h"

class QNetworkReply;

class BoardPublisher : public QObject
{
    Q_OBJECT
public:
    explicit BoardPublisher(QUrl url, std::FILE *report = stderr, QObject *parent = nullptr);

    // Why the argument of --publish is no URL to publish to (http or https,
    // with a host, without a fragment); nothing when it is one.
    static std::optional<QString> checkPublishUrl(const char *text);

    // Where the picture goes for a board published at url.
    static QUrl pictureUrl(const QUrl &url);

    // The board as it now looks; the picture is read only when it changed,
    // and encoded off this thread.
    void publish(const scb::BoardView &view, const QImage &picture);

private:
    enum class Part { Board, Picture };

    void sendNext();
    void send(Part part, std::uint64_t version, const QByteArray &type, const QByteArray &body);
    void finished();
    void say(const QString &line);

    QNetworkAccessManager m_network;
    QUrl m_url;
    std::FILE *m_report;
    scb::BoardPublication m_board;
    PngEncoder m_png;
    std::uint64_t m_sentVersion = 0;
    std::uint64_t m_sentPictureVersion = 0;
    QNetworkReply *m_inFlight = nullptr;
    Part m_inFlightPart = Part::Board;
    std::uint64_t m_inFlightVersion = 0;
    QTimer m_retry;
    int m_failures = 0; // in a row
};
