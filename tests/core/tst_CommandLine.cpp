#include <QRegularExpression>
#include <QtTest>

#include "core/CommandLine.h"

#include <string>
#include <vector>

using Action = scb::CommandLine::Action;
Q_DECLARE_METATYPE(Action)

class tst_CommandLine : public QObject
{
    Q_OBJECT
private slots:
    void parseCommandLine_data();
    void parseCommandLine();
    void parseServeAddress_data();
    void parseServeAddress();
};

void tst_CommandLine::parseCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Action>("action");
    QTest::addColumn<int>("port"); // -1: no server
    QTest::addColumn<QString>("error");

    QTest::newRow("nothing") << QStringList{} << Action::Run << -1 << "";
    QTest::newRow("serve, value apart") << QStringList{"--serve", "8080"} << Action::Run << 8080 << "";
    QTest::newRow("serve, value joined") << QStringList{"--serve=0.0.0.0:8081"} << Action::Run << 8081 << "";
    QTest::newRow("help wins over a typo") << QStringList{"--bogus", "-h"} << Action::Help << -1 << "";
    QTest::newRow("version") << QStringList{"--serve", "80", "--version"} << Action::Version << -1 << "";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << Action::Refuse << -1 << "unknown option --bogus";
    QTest::newRow("near miss") << QStringList{"--server", "8080"} << Action::Refuse << -1
                               << "unknown option --server";
    QTest::newRow("near miss joined") << QStringList{"--server=8080"} << Action::Refuse << -1
                                      << "unknown option --server";
    QTest::newRow("single dash") << QStringList{"-serve", "8080"} << Action::Refuse << -1 << "unknown option -serve";
    QTest::newRow("stray word") << QStringList{"Main.txt"} << Action::Refuse << -1
                                << "unexpected argument 'Main.txt'";
    QTest::newRow("missing value") << QStringList{"--serve"} << Action::Refuse << -1 << "--serve needs";
    QTest::newRow("empty joined value") << QStringList{"--serve="} << Action::Refuse << -1
                                        << "--serve : the port must be a number";
    QTest::newRow("bad port") << QStringList{"--serve", "65536"} << Action::Refuse << -1
                              << "--serve 65536: the port must be a number";
    QTest::newRow("twice") << QStringList{"--serve", "1", "--serve=2"} << Action::Refuse << -1
                           << "--serve given twice";
    QTest::newRow("publish beside serve") << QStringList{"--publish", "http://127.0.0.1:8090/board/pub", "--serve", "80"}
                                          << Action::Run << 80 << "";
    QTest::newRow("publish joined, https with user")
        << QStringList{"--publish=https://scb@venue.example/board/pub?id=1"} << Action::Run << -1 << "";
    QTest::newRow("publish missing value") << QStringList{"--publish"} << Action::Refuse << -1 << "--publish needs";
    QTest::newRow("publish twice") << QStringList{"--publish=http://a/", "--publish=http://b/"} << Action::Refuse
                                   << -1 << "--publish given twice";
}

void tst_CommandLine::parseCommandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(Action, action);
    QFETCH(int, port);
    QFETCH(QString, error);
    std::vector<std::string> bytes;
    for (const QString &a : arguments)
        bytes.push_back(a.toStdString());
    const scb::CommandLine got = scb::parseCommandLine({bytes.begin(), bytes.end()});
    QCOMPARE(got.action, action);
    QCOMPARE(got.serve ? got.serve->port : -1, port);
    QVERIFY2(QString::fromStdString(got.error).startsWith(error), got.error.c_str());
    QCOMPARE(got.error.empty(), error.isEmpty());
    const int publish = int(arguments.indexOf(QRegularExpression("--publish.*")));
    if (action == Action::Run && publish >= 0) {
        const QString url = arguments[publish].contains('=') ? arguments[publish].section('=', 1)
                                                              : arguments.value(publish + 1);
        QCOMPARE(QString::fromStdString(got.publish), url);
    } else {
        QCOMPARE(got.publish, std::string());
    }
}

void tst_CommandLine::parseServeAddress_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("port");

    QTest::newRow("port: this machine only") << "8080" << "127.0.0.1" << 8080;
    QTest::newRow("every interface") << "0.0.0.0:8080" << "0.0.0.0" << 8080;
    QTest::newRow("LAN address") << "192.168.1.20:80" << "192.168.1.20" << 80;
    QTest::newRow("IPv6 in brackets") << "[::1]:8080" << "::1" << 8080;
    QTest::newRow("IPv6 bare") << "::1:8080" << "::1" << 8080;
    QTest::newRow("any free port") << "0" << "127.0.0.1" << 0;
    QTest::newRow("port too large") << "65536" << "" << -1;
    QTest::newRow("not a number") << "http" << "" << -1;
    QTest::newRow("no port") << "127.0.0.1:" << "" << -1;
    QTest::newRow("no address") << ":8080" << "" << -1;
    QTest::newRow("sign") << "-1" << "" << -1;
}

void tst_CommandLine::parseServeAddress()
{
    QFETCH(QString, argument);
    QFETCH(QString, address);
    QFETCH(int, port);
    const scb::ServeAddress got = scb::parseServeAddress(argument.toStdString());
    QCOMPARE(got.port, port);
    QCOMPARE(got.error.empty(), port >= 0);
    if (port >= 0)
        QCOMPARE(QString::fromStdString(got.address), address);
}

QTEST_APPLESS_MAIN(tst_CommandLine)
#include "tst_CommandLine.moc"
