// Program entry: the control window first (it is the main window; closing it
// ends the program), then the scoreboard window, hidden, then the event loop.
// With --serve the board is also served to browsers, and with --publish it is
// sent to the venue's fan-out engine; without either the program opens no
// network socket at all.

#include "Application.h"
#include "Unit_Main.h"
#include "Unit_Results.h"
#include "core/Desktop.h"
#include "core/CommandLine.h"
#include "core/Version.h"
#include "web/BoardServer.h"
#include "web/BoardPublisher.h"

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <memory>
#include <optional>

namespace {

const char *const Synopsis =
    "Usage: torvane-scoreboard [--help | --version] [--serve [ADDRESS:]PORT] [--publish URL]\n";
const char *const Details = "\n"
                          "Shows the display file (\"Main.txt\" in the folder it is started from, or the\n"
                          "file chosen in the control window) on a borderless scoreboard window.\n"
                          "Settings are kept in \"Resolution.ini\" in the folder it is started from.\n"
                          "F8 opens and closes the scoreboard; Left and Right nudge it by 10 pixels.\n"
                          "\n"
                          "  --serve [ADDRESS:]PORT  also show the board as a web page, live, at\n"
                          "                          http://ADDRESS:PORT/ (add ?transparent=1 for overlays,\n"
                          "                          ?always=1 to show it while the board is closed).\n"
                          "                          Without ADDRESS only this machine can open it\n"
                          "                          (127.0.0.1); 0.0.0.0 opens it to the whole network.\n"
                          "                          Port 0 picks a free port.\n"
                          "  --publish URL           also send every change of the board to a fan-out\n"
                          "                          engine's publisher location (nginx with Nchan, see\n"
                          "                          tools/stadium), for example\n"
                          "                          http://127.0.0.1:8090/board/pub.\n";

void fail(const char *what)
{
    std::fprintf(stderr, "torvane-scoreboard: %s\n", what);
}

} // namespace

int main(int argc, char **argv)
{
    // These answer, or stop, before the toolkit starts: a refused line must
    // not depend on a display being there.
    scb::CommandLine line = scb::parseCommandLine({argv + std::min(argc, 1), argv + argc});
    if (line.action == scb::CommandLine::Action::Run && !line.publish.empty()) {
        if (const std::optional<QString> why = BoardPublisher::checkPublishUrl(line.publish.c_str())) {
            line.action = scb::CommandLine::Action::Refuse;
            line.error = "--publish: " + why->toStdString();
        }
    }
    switch (line.action) {
    case scb::CommandLine::Action::Help:
        std::fputs(Synopsis, stdout);
        std::fputs(Details, stdout);
        return 0;
    case scb::CommandLine::Action::Version:
        std::printf("torvane-scoreboard %s\n", scb::Version);
        return 0;
    case scb::CommandLine::Action::Refuse:
        fail(line.error.c_str());
        std::fputs(Synopsis, stderr);
        std::fputs("Try 'torvane-scoreboard --help' for more.\n", stderr);
        return 2;
    case scb::CommandLine::Action::Run:
        break;
    }
    const std::optional<scb::ServeAddress> &serve = line.serve;

    // The board places its own window; under Wayland only XWayland lets it.
    if (scb::wantsX11Layer(std::getenv("QT_QPA_PLATFORM"), std::getenv("WAYLAND_DISPLAY"), std::getenv("DISPLAY")))
        qputenv("QT_QPA_PLATFORM", "xcb");

    Application app(argc, argv);
    std::unique_ptr<BoardServer> server;
    QString servedAt;
    if (serve) {
        const QString address = QString::fromStdString(serve->address);
        const QHostAddress host(address);
        server = std::make_unique<BoardServer>();
        if (host.isNull() || !server->listen(host, static_cast<quint16>(serve->port))) {
            const QString why = host.isNull() ? QStringLiteral("not an IP address") : server->errorString();
            const QString text = QStringLiteral("cannot serve the board on %1:%2: %3").arg(address).arg(serve->port).arg(why);
            fail(text.toLocal8Bit().constData());
            return 1;
        }
        const QString shown = host.protocol() == QAbstractSocket::IPv6Protocol ? '[' + address + ']' : address;
        servedAt = QStringLiteral("http://%1:%2/").arg(shown).arg(server->port());
        std::printf("torvane-scoreboard: the board is served at %s\n", servedAt.toLocal8Bit().constData());
        std::fflush(stdout);
    }

    TSCBForm SCBForm;
    TResultsForm ResultsForm;
    SCBForm.setResultsForm(&ResultsForm);
    SCBForm.setServedAt(servedAt);
    if (server)
        QObject::connect(&SCBForm, &TSCBForm::viewChanged, server.get(),
                         [&](const scb::BoardView &view) { server->publish(view, SCBForm.backgroundPicture()); });
    std::unique_ptr<BoardPublisher> publisher;
    if (!line.publish.empty()) {
        publisher = std::make_unique<BoardPublisher>(QUrl(QString::fromStdString(line.publish)));
        QObject::connect(&SCBForm, &TSCBForm::viewChanged, publisher.get(),
                         [&](const scb::BoardView &view) { publisher->publish(view, SCBForm.backgroundPicture()); });
    }
    SCBForm.show();
    return app.exec();
}
