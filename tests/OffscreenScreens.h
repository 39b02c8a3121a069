#pragma once
// Runs a window test on virtual screens: the offscreen platform reads their
// layout from a file that must exist before the application starts.

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryFile>
#include <QTest>

#include "Application.h"

inline QJsonObject offscreenScreen(const char *name, int x, int width, int height, int logicalDpi = 96)
{
    return QJsonObject{{"name", name},     {"x", x},
                       {"y", 0},           {"width", width},
                       {"height", height}, {"logicalDpi", logicalDpi},
                       {"logicalBaseDpi", 96}, {"dpr", 1}};
}

template <typename Test>
int execOnScreens(int argc, char **argv, const QJsonArray &screens)
{
    QTemporaryFile file(QDir::tempPath() + "/scb-screens-XXXXXX.json");
    if (!file.open())
        return 1;
    file.write(QJsonDocument(QJsonObject{{"screens", screens}}).toJson());
    file.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(file.fileName()));
    Application app(argc, argv);
    Test tc;
    return QTest::qExec(&tc, argc, argv);
}
