// The folder watch: which changes count as a finished display file, and that
// the watch survives the file or its folder being replaced. inotify queues an
// event inside the system call that causes it, so each check reads at once.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "core/platform/FileWatch.h"

namespace {

std::string bytes(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(content) == content.size();
}

bool renameOver(const QString &from, const QString &to)
{
    return std::rename(bytes(from).c_str(), bytes(to).c_str()) == 0;
}

} // namespace

class tst_FileWatch : public QObject
{
    Q_OBJECT

private slots:
    void readEvents_change_reportsFinishedOnlyWhenWriterIsDone_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("finished");
        QTest::newRow("written and closed") << "write" << true;
        QTest::newRow("renamed over the file") << "rename" << true;
        QTest::newRow("still open for writing") << "open" << false;
        QTest::newRow("another file in the folder") << "other" << false;
        QTest::newRow("deleted") << "delete" << false;
        QTest::newRow("only read") << "read" << false;
    }

    void readEvents_change_reportsFinishedOnlyWhenWriterIsDone()
    {
        QFETCH(QString, change);
        QFETCH(bool, finished);
        QTemporaryDir dir;
        const QString path = dir.filePath("Main.txt");
        QVERIFY(writeFile(path, "v1"));
        scb::FileWatch watch;
        QVERIFY(watch.arm(bytes(path)));
        QVERIFY(watch.fd() >= 0);

        int heldOpen = -1;
        if (change == "write") {
            QVERIFY(writeFile(path, "v2"));
        } else if (change == "rename") {
            QVERIFY(writeFile(dir.filePath("Main.tmp"), "v2"));
            QVERIFY(renameOver(dir.filePath("Main.tmp"), path));
        } else if (change == "open") {
            heldOpen = ::open(bytes(path).c_str(), O_WRONLY | O_TRUNC);
            QVERIFY(heldOpen >= 0);
            QVERIFY(::write(heldOpen, "v2", 2) == 2);
        } else if (change == "other") {
            QVERIFY(writeFile(dir.filePath("Main.txt.bak"), "x"));
        } else if (change == "delete") {
            QVERIFY(QFile::remove(path));
        } else {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            f.readAll();
        }
        QCOMPARE(watch.readEvents(), finished);
        QVERIFY(!watch.readEvents()); // drained

        if (heldOpen >= 0) {
            ::close(heldOpen);
            QVERIFY(watch.readEvents());
        }
    }

    void renameReplaced_staysWatched()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Main.txt");
        QVERIFY(writeFile(path, "v1"));
        scb::FileWatch watch;
        QVERIFY(watch.arm(bytes(path)));
        for (int i = 0; i < 3; ++i) {
            QVERIFY(writeFile(dir.filePath("Main.tmp"), QByteArray::number(i)));
            QVERIFY(renameOver(dir.filePath("Main.tmp"), path));
            QVERIFY(watch.readEvents());
        }
        QVERIFY(writeFile(path, "in place"));
        QVERIFY(watch.readEvents());
    }

    void deletedAndRecreated_watchedAgain()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Main.txt");
        scb::FileWatch watch;
        QVERIFY(watch.arm(bytes(path))); // the file need not exist yet
        QVERIFY(writeFile(path, "v1"));
        QVERIFY(watch.readEvents());
        QVERIFY(QFile::remove(path));
        QVERIFY(!watch.readEvents());
        QVERIFY(writeFile(path, "v2"));
        QVERIFY(watch.readEvents());
    }

    void folderReplaced_rearmsAndReports_data()
    {
        QTest::addColumn<bool>("renameAway");
        QTest::newRow("deleted and made anew") << false;
        QTest::newRow("renamed away, another moved in") << true;
    }

    void folderReplaced_rearmsAndReports()
    {
        QFETCH(bool, renameAway);
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkdir("export"));
        const QString folder = root.filePath("export");
        const QString path = folder + "/Main.txt";
        QVERIFY(writeFile(path, "v1"));
        scb::FileWatch watch;
        QVERIFY(watch.arm(bytes(path)));

        if (renameAway) {
            QVERIFY(QDir(root.path()).mkdir("export.new"));
            QVERIFY(writeFile(root.filePath("export.new/Main.txt"), "v2"));
            QVERIFY(renameOver(folder, root.filePath("export.old")));
            watch.readEvents();
            QVERIFY(!watch.folderWatched());
            QVERIFY(renameOver(root.filePath("export.new"), folder));
        } else {
            QVERIFY(QDir(folder).removeRecursively());
            watch.readEvents();
            QVERIFY(!watch.folderWatched());
            QVERIFY(QDir(root.path()).mkdir("export"));
        }
        QVERIFY(watch.readEvents()); // the new folder is looked at at once
        QVERIFY(watch.folderWatched());
        QVERIFY(writeFile(path, "v3"));
        QVERIFY(watch.readEvents());
        // The old folder no longer speaks for the name.
        if (renameAway) {
            QVERIFY(writeFile(root.filePath("export.old/Main.txt"), "old"));
            QVERIFY(!watch.readEvents());
        }
    }

    void arm_otherPath_movesWatch()
    {
        QTemporaryDir first, second;
        scb::FileWatch watch;
        QVERIFY(watch.arm(bytes(first.filePath("Main.txt"))));
        QVERIFY(watch.arm(bytes(second.filePath("Results.txt"))));
        QVERIFY(writeFile(first.filePath("Main.txt"), "x"));
        QVERIFY(!watch.readEvents());
        QVERIFY(writeFile(second.filePath("Main.txt"), "x"));
        QVERIFY(!watch.readEvents());
        QVERIFY(writeFile(second.filePath("Results.txt"), "x"));
        QVERIFY(watch.readEvents());
    }

    void arm_relativePath_watchesWorkingFolder()
    {
        QTemporaryDir dir;
        const QString old = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        scb::FileWatch watch;
        const bool armed = watch.arm("Main.txt");
        QDir::setCurrent(old);
        QVERIFY(armed);
        QVERIFY(writeFile(dir.filePath("Main.txt"), "x"));
        QVERIFY(watch.readEvents());
    }

    void arm_missingFolder_watchesOnceItAppears()
    {
        QTemporaryDir root;
        const QString path = root.filePath("later/Main.txt");
        scb::FileWatch watch;
        QVERIFY(!watch.arm(bytes(path)));
        QVERIFY(QDir(root.path()).mkdir("later"));
        QVERIFY(watch.readEvents());
        QVERIFY(watch.folderWatched());
        QVERIFY(writeFile(path, "x"));
        QVERIFY(watch.readEvents());
    }

    void arm_emptyPathOrDisarm_watchesNothing()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Main.txt");
        scb::FileWatch watch;
        QVERIFY(!watch.arm(""));
        QVERIFY(writeFile(path, "x"));
        QVERIFY(!watch.readEvents());
        QVERIFY(watch.arm(bytes(path)));
        watch.disarm();
        QVERIFY(writeFile(path, "y"));
        QVERIFY(!watch.readEvents());
        QVERIFY(!watch.folderWatched());
    }
};

QTEST_GUILESS_MAIN(tst_FileWatch)
#include "tst_FileWatch.moc"
