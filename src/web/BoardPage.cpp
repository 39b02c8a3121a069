#include "web/BoardPage.h"

#include <QCryptographicHash>
#include <QFile>

namespace {

// The page's one source, src/web/board.html, built into the program. The
// venue's engine serves the same file as it stands; the program points its
// feed and picture at its own paths.
QByteArray pageSource()
{
    QFile file(QStringLiteral(":/web/board.html"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("the board page is missing from the build");
    return file.readAll();
}

const QByteArray EngineFeed = R"(data-feed="/board/sub" data-picture="/board/picture")";
const QByteArray ProgramFeed = R"(data-feed="/ws" data-picture="/picture")";

QByteArray between(const QByteArray &text, const QByteArray &open, const QByteArray &close)
{
    const qsizetype start = text.indexOf(open);
    const qsizetype end = start < 0 ? -1 : text.indexOf(close, start + open.size());
    if (end < 0)
        qFatal("the board page lacks its %s", open.constData());
    return text.mid(start + open.size(), end - start - open.size());
}

QByteArray hashSource(const QByteArray &text)
{
    return "'sha256-" + QCryptographicHash::hash(text, QCryptographicHash::Sha256).toBase64() + "'";
}

} // namespace

namespace BoardPage {

QByteArray source()
{
    static const QByteArray text = pageSource();
    return text;
}

QByteArray html()
{
    static const QByteArray page = [] {
        QByteArray text = source();
        if (!text.contains(EngineFeed))
            qFatal("the board page does not name its feed");
        return text.replace(EngineFeed, ProgramFeed);
    }();
    return page;
}

QByteArray contentSecurityPolicy()
{
    static const QByteArray policy = "default-src 'self'; script-src " + hashSource(between(source(), "<script>", "</script>"))
        + "; style-src " + hashSource(between(source(), "<style>", "</style>")) + "; base-uri 'none'; form-action 'none'";
    return policy;
}

} // namespace BoardPage
