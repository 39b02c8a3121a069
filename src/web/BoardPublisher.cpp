#include "web/BoardPublisher.h"

#include <QNetworkReply>
#include <QNetworkRequest>

#include <algorithm>
#include <utility>

namespace {

constexpr int FirstRetryMs = 1000;
constexpr int LastRetryMs = 5000;
// A hung engine counts as a failed one, so the next board is not held up.
constexpr int RequestDeadlineMs = 5000;

} // namespace

BoardPublisher::BoardPublisher(QUrl url, std::FILE *report, QObject *parent)
    : QObject(parent), m_url(std::move(url)), m_report(report)
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &BoardPublisher::sendNext);
    connect(&m_png, &PngEncoder::encoded, this, &BoardPublisher::sendNext);
}

std::optional<QString> BoardPublisher::checkPublishUrl(const char *text)
{
    const QUrl url(QString::fromLocal8Bit(text), QUrl::StrictMode);
    if (!url.isValid())
        return QStringLiteral("'%1' is not a URL").arg(QString::fromLocal8Bit(text));
    if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        return QStringLiteral("'%1' is not an http:// or https:// URL").arg(url.toDisplayString());
    if (url.host().isEmpty())
        return QStringLiteral("'%1' names no host").arg(url.toDisplayString());
    if (url.hasFragment())
        return QStringLiteral("'%1' has a fragment (#...), which is never sent").arg(url.toDisplayString());
    return std::nullopt;
}

QUrl BoardPublisher::pictureUrl(const QUrl &url)
{
    QUrl picture = url;
    QString path = url.path();
    if (!path.endsWith('/'))
        path += '/';
    picture.setPath(path + QLatin1String("picture"));
    return picture;
}

void BoardPublisher::publish(const scb::BoardView &view, const QImage &picture)
{
    if (!m_board.update(view))
        return;
    m_png.encode(m_board.pictureVersion(), view.picture.loaded ? picture : QImage());
    sendNext();
}

void BoardPublisher::sendNext()
{
    if (m_inFlight || m_retry.isActive())
        return;
    if (m_sentPictureVersion != m_board.pictureVersion()) {
        // The board waits for its picture, which is encoded off this thread.
        if (!m_png.ready())
            return;
        if (!m_png.png().isEmpty()) {
            send(Part::Picture, m_board.pictureVersion(), "image/png", m_png.png());
            return;
        }
        // No picture behind the board: the page asks for none.
        m_sentPictureVersion = m_board.pictureVersion();
    }
    if (m_sentVersion != m_board.version()) {
        send(Part::Board, m_board.version(), "application/json", QByteArray::fromStdString(m_board.json()));
    }
}

void BoardPublisher::send(Part part, std::uint64_t version, const QByteArray &type, const QByteArray &body)
{
    QNetworkRequest request(part == Part::Picture ? pictureUrl(m_url) : m_url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, type);
    request.setTransferTimeout(RequestDeadlineMs);
    m_inFlightPart = part;
    m_inFlightVersion = version;
    m_inFlight = m_network.post(request, body);
    connect(m_inFlight, &QNetworkReply::finished, this, &BoardPublisher::finished);
}

void BoardPublisher::finished()
{
    QNetworkReply *reply = m_inFlight;
    m_inFlight = nullptr;
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError) {
        if (m_failures++ == 0)
            say(QStringLiteral("cannot publish the board to %1 (%2); trying again")
                    .arg(reply->url().toDisplayString(), reply->errorString()));
        // The board goes as it is by then, never an older one.
        m_retry.start(std::min(FirstRetryMs << std::min(m_failures - 1, 3), LastRetryMs));
        return;
    }
    if (m_failures > 0)
        say(QStringLiteral("publishing the board to %1 again").arg(m_url.toDisplayString()));
    m_failures = 0;
    (m_inFlightPart == Part::Picture ? m_sentPictureVersion : m_sentVersion) = m_inFlightVersion;
    sendNext();
}

void BoardPublisher::say(const QString &line)
{
    std::fprintf(m_report, "torvane-scoreboard: %s\n", line.toLocal8Bit().constData());
    std::fflush(m_report);
}
