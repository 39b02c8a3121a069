// The control window follows the display file through the folder watch alone:
// Timer1 is stopped in every test, so only the watch can bring a change in.

#include "WindowFixture.h"
#include "adapters/DisplayFileFeed.h"
#include "adapters/FileWatcher.h"

#include <QSignalSpy>
#include <QTimer>

#include <cstdio>

namespace {

QByteArray version(int v, const QByteArray &tag = "V")
{
    QByteArray out = "TIME: " + tag + QByteArray::number(v) + "\r\n";
    for (int i = 1; i < 5; ++i)
        out += tag + QByteArray::number(v) + " line " + QByteArray::number(i) + "\r\n";
    return out;
}

QString row0(int v, const QString &tag = QStringLiteral("V"))
{
    return QStringLiteral("TIME: ") + tag + QString::number(v);
}

bool renameOver(const QString &from, const QString &to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

} // namespace

class tst_FileWatcher : public QObject
{
    Q_OBJECT

    // Started on Main.txt in the working folder, polling stopped, version 1
    // on the board through the watch.
    void startWatchOnly(WindowFixture &fx)
    {
        fx.writeFile("Main.txt", version(0));
        fx.start();
        fx.child<QTimer>("Timer1")->stop();
        QVERIFY(fx.form->displayFileFeed().watchEnabled());
        fx.writeFile("Main.txt", version(1));
        QTRY_COMPARE(fx.row(0), row0(1));
    }

private slots:
    void initTestCase()
    {
#if !defined(__linux__)
        QSKIP("the folder watch exists on Linux only");
#endif
    }

    void replacedFile_shownAndStillWatched_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("rewritten in place") << "write";
        QTest::newRow("renamed over") << "rename";
        QTest::newRow("deleted and made anew") << "recreate";
    }

    void replacedFile_shownAndStillWatched()
    {
        QFETCH(QString, how);
        WindowFixture fx;
        startWatchOnly(fx);
        const QString path = fx.path("Main.txt");
        for (int v = 2; v <= 4; ++v) {
            if (how == "rename") {
                fx.writeFile("Main.tmp", version(v));
                QVERIFY(renameOver(fx.path("Main.tmp"), path));
            } else {
                if (how == "recreate")
                    QVERIFY(QFile::remove(path));
                fx.writeFile("Main.txt", version(v));
            }
            QTRY_COMPARE(fx.row(0), row0(v));
            QCOMPARE(fx.row(4), QStringLiteral("V%1 line 4").arg(v));
        }
        // Whatever replaced it, a plain rewrite afterwards is still seen.
        fx.writeFile("Main.txt", version(9));
        QTRY_COMPARE(fx.row(0), row0(9));
        QVERIFY(!fx.child<QTimer>("Timer1")->isActive());
    }

    void changedXMLFile_movesWatch()
    {
        WindowFixture fx;
        startWatchOnly(fx);
        QVERIFY(QDir(fx.dir()).mkdir("other"));
        fx.writeFile("other/Results.txt", version(1, "R"));
        fx.child<FileOpenEdit>("XMLFile")->setFilename(fx.path("other/Results.txt"));
        // One tick, as Timer1 would run it, takes the new name over.
        fx.tick();
        QCOMPARE(fx.row(0), row0(1, "R"));
        fx.writeFile("other/Results.txt", version(2, "R"));
        QTRY_COMPARE(fx.row(0), row0(2, "R"));
        auto *watcher = fx.form->findChild<FileWatcher *>();
        QVERIFY(watcher);
        QSignalSpy finished(watcher, &FileWatcher::fileFinished);
        fx.writeFile("Main.txt", version(3)); // the old name is no longer watched
        fx.writeFile("other/Results.txt", version(3, "R"));
        QTRY_COMPARE(fx.row(0), row0(3, "R"));
        QCOMPARE(finished.count(), 1);
    }

    void burstOfWrites_lastVersionShown()
    {
        WindowFixture fx;
        startWatchOnly(fx);
        for (int v = 2; v <= 21; ++v)
            fx.writeFile("Main.txt", version(v));
        QTRY_COMPARE(fx.row(0), row0(21));
        QCOMPARE(fx.row(4), QStringLiteral("V21 line 4"));
    }

    void disabledWatch_watchesNothingUntilEnabled()
    {
        WindowFixture fx;
        startWatchOnly(fx);
        auto *watcher = fx.form->findChild<FileWatcher *>();
        QVERIFY(watcher);
        QVERIFY(watcher->isWatching());
        fx.form->displayFileFeed().setWatchEnabled(false);
        QVERIFY(!watcher->isWatching());
        QSignalSpy finished(watcher, &FileWatcher::fileFinished);
        fx.writeFile("Main.txt", version(2));
        fx.form->displayFileFeed().setWatchEnabled(true);
        QVERIFY(watcher->isWatching());
        fx.writeFile("Main.txt", version(3));
        QTRY_COMPARE(fx.row(0), row0(3));
        QCOMPARE(finished.count(), 1);
    }

    void closedForm_stopsWatching()
    {
        WindowFixture fx;
        startWatchOnly(fx);
        auto *watcher = fx.form->findChild<FileWatcher *>();
        bool closed = false;
        QVERIFY(QMetaObject::invokeMethod(fx.form.get(), "FormClose", Qt::DirectConnection,
                                          Q_RETURN_ARG(bool, closed)));
        QVERIFY(closed);
        QVERIFY(!watcher->isWatching());
    }
};

SCB_WINDOW_TEST_MAIN(tst_FileWatcher)
#include "tst_FileWatcher.moc"
