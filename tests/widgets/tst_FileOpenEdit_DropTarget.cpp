#include <QtTest>

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>

#include "core/DropList.h"
#include "widgets/FileDropTarget.h"
#include "widgets/FileOpenEdit.h"

namespace {

QMimeData *fileMime(const QStringList &paths)
{
    auto *mime = new QMimeData;
    QList<QUrl> urls;
    for (const QString &p : paths)
        urls << QUrl::fromLocalFile(p);
    mime->setUrls(urls);
    return mime;
}

// What the window system does for one drop: enter, then drop, at the same point.
bool dropOn(QWidget *w, const QPoint &at, const QMimeData *mime)
{
    QDragEnterEvent enter(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &drop);
    return drop.isAccepted();
}

QString touch(const QTemporaryDir &dir, const QString &name)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    return QDir::toNativeSeparators(path);
}

struct Panel
{
    QWidget panel;
    QLineEdit *edit;
    Panel() : edit(new QLineEdit(&panel))
    {
        panel.resize(513, 390);
        edit->setGeometry(30, 40, 200, 21);
    }
};

} // namespace

class tst_FileOpenEdit_DropTarget : public QObject
{
    Q_OBJECT
private slots:
    void filename_isTextWhileTyping();
    void setFilename_sameText_firesNoChange();
    void browse_ok_replacesTextAndFocusesEdit();
    void browse_cancel_changesNothing();
    void drop_threeFiles_oneSignalInOrder();
    void drop_tooLongPath_leftOutButCounted();
    void drop_folder_givesFolderPath();
    void drop_onChildLineEdit_reachesTargetWithMappedPoint();
    void drop_onChildAddedLater_reachesTarget();
    void drop_withoutFiles_passesThrough();
    void disabledOrMovedTarget_ignoresDrops();
    void controlDestroyed_targetLetsGo();
    void buildDropList_data();
    void buildDropList();

private:
    QTemporaryDir m_dir;
};

void tst_FileOpenEdit_DropTarget::filename_isTextWhileTyping()
{
    FileOpenEdit edit;
    QSignalSpy spy(&edit, &FileOpenEdit::changed);
    QTest::keyClicks(&edit, QStringLiteral("C:\\Zen"));
    QCOMPARE(edit.filename(), QStringLiteral("C:\\Zen"));
    QCOMPARE(spy.count(), 6);
}

void tst_FileOpenEdit_DropTarget::setFilename_sameText_firesNoChange()
{
    FileOpenEdit edit;
    QSignalSpy spy(&edit, &FileOpenEdit::changed);
    edit.setFilename(QStringLiteral("Main.txt"));
    edit.setFilename(QStringLiteral("Main.txt"));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(edit.text(), QStringLiteral("Main.txt"));
}

void tst_FileOpenEdit_DropTarget::browse_ok_replacesTextAndFocusesEdit()
{
    QWidget window;
    auto *other = new QLineEdit(&window);
    auto *edit = new FileOpenEdit(&window);
    edit->move(0, 30);
    edit->setFilename(QStringLiteral("old.txt"));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    other->setFocus();
    QTRY_VERIFY(other->hasFocus());

    const QString chosen = touch(m_dir, QStringLiteral("Main.txt"));
    QWidget *askedParent = nullptr;
    QString askedExt;
    bool focusedWhenAsked = false;
    edit->openDialog = [&](QWidget *parent, const QString &ext) {
        askedParent = parent;
        askedExt = ext;
        focusedWhenAsked = edit->hasFocus();
        return chosen;
    };
    QSignalSpy spy(edit, &FileOpenEdit::changed);
    edit->browseAction()->trigger();

    QCOMPARE(edit->filename(), chosen);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(askedParent, edit);
    QCOMPARE(askedExt, QStringLiteral("txt"));
    QVERIFY(focusedWhenAsked);
}

void tst_FileOpenEdit_DropTarget::browse_cancel_changesNothing()
{
    FileOpenEdit edit;
    edit.setFilename(QStringLiteral("keep.txt"));
    int asked = 0;
    edit.openDialog = [&](QWidget *, const QString &) {
        ++asked;
        return QString();
    };
    QSignalSpy spy(&edit, &FileOpenEdit::changed);
    edit.browse();
    QCOMPARE(asked, 1);
    QCOMPARE(edit.filename(), QStringLiteral("keep.txt"));
    QCOMPARE(spy.count(), 0);
}

void tst_FileOpenEdit_DropTarget::drop_threeFiles_oneSignalInOrder()
{
    Panel p;
    FileDropTarget target;
    target.setControl(&p.panel);
    QSignalSpy spy(&target, &FileDropTarget::fmDragDrop);

    // Deliberately not alphabetical: the delivered order must survive.
    const QStringList files{touch(m_dir, "c.txt"), touch(m_dir, "a.txt"), touch(m_dir, "b.txt")};
    std::unique_ptr<QMimeData> mime(fileMime(files));
    QVERIFY(dropOn(&p.panel, QPoint(300, 200), mime.get()));

    QCOMPARE(spy.count(), 1);
    const QList<QVariant> args = spy.first();
    QCOMPARE(args.at(0).value<QObject *>(), &target);
    QCOMPARE(args.at(1).toInt(), 3);
    QCOMPARE(args.at(2).toInt(), 300);
    QCOMPARE(args.at(3).toInt(), 200);
    QCOMPARE(args.at(4).toStringList(), files);
}

void tst_FileOpenEdit_DropTarget::drop_tooLongPath_leftOutButCounted()
{
    Panel p;
    FileDropTarget target;
    target.setControl(&p.panel);
    QSignalSpy spy(&target, &FileDropTarget::fmDragDrop);

    const QString first = touch(m_dir, "first.txt");
    const QString last = touch(m_dir, "last.txt");
    const QString longPath = QDir::toNativeSeparators(m_dir.filePath(QString(300, 'x')));
    std::unique_ptr<QMimeData> mime(fileMime({first, longPath, last}));
    QVERIFY(dropOn(&p.panel, QPoint(5, 5), mime.get()));

    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().at(1).toInt(), 3);
    QCOMPARE(spy.first().at(4).toStringList(), (QStringList{first, last}));

    // Every path too long: the handler still hears of the drop, with an empty list.
    std::unique_ptr<QMimeData> onlyLong(fileMime({longPath}));
    QVERIFY(dropOn(&p.panel, QPoint(5, 5), onlyLong.get()));
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.last().at(1).toInt(), 1);
    QVERIFY(spy.last().at(4).toStringList().isEmpty());
}

void tst_FileOpenEdit_DropTarget::drop_folder_givesFolderPath()
{
    Panel p;
    FileDropTarget target;
    target.setControl(&p.panel);
    QSignalSpy spy(&target, &FileDropTarget::fmDragDrop);
    const QString folder = QDir::toNativeSeparators(m_dir.path());
    std::unique_ptr<QMimeData> mime(fileMime({folder}));
    QVERIFY(dropOn(&p.panel, QPoint(1, 1), mime.get()));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().at(4).toStringList(), QStringList{folder});
}

void tst_FileOpenEdit_DropTarget::drop_onChildLineEdit_reachesTargetWithMappedPoint()
{
    Panel p;
    p.edit->setText(QStringLiteral("untouched"));
    FileDropTarget target;
    target.setControl(&p.panel);
    QSignalSpy spy(&target, &FileDropTarget::fmDragDrop);

    const QString file = touch(m_dir, "Main.txt");
    std::unique_ptr<QMimeData> mime(fileMime({file}));
    QVERIFY(dropOn(p.edit, QPoint(5, 6), mime.get()));

    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().at(2).toInt(), 35);
    QCOMPARE(spy.first().at(3).toInt(), 46);
    QCOMPARE(spy.first().at(4).toStringList(), QStringList{file});
    QCOMPARE(p.edit->text(), QStringLiteral("untouched"));
}

void tst_FileOpenEdit_DropTarget::drop_onChildAddedLater_reachesTarget()
{
    Panel p;
    FileDropTarget target;
    target.setControl(&p.panel);
    QSignalSpy spy(&target, &FileDropTarget::fmDragDrop);

    auto *group = new QGroupBox(&p.panel);
    group->setGeometry(300, 100, 170, 105);
    auto *inner = new QLineEdit(group);
    inner->setGeometry(8, 32, 57, 21);

    std::unique_ptr<QMimeData> mime(fileMime({touch(m_dir, "late.txt")}));
    QVERIFY(dropOn(inner, QPoint(1, 2), mime.get()));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().at(2).toInt(), 309);
    QCOMPARE(spy.first().at(3).toInt(), 134);
}

void tst_FileOpenEdit_DropTarget::drop_withoutFiles_passesThrough()
{
    Panel p;
    FileDropTarget target;
    target.setControl(&p.panel);
    QSignalSpy spy(&target, &FileDropTarget::fmDragDrop);

    QMimeData text;
    text.setText(QStringLiteral("just words"));
    QVERIFY(!dropOn(&p.panel, QPoint(1, 1), &text));

    QMimeData web;
    web.setUrls({QUrl(QStringLiteral("https://example.invalid/Main.txt"))});
    QVERIFY(!dropOn(&p.panel, QPoint(1, 1), &web));
    QCOMPARE(spy.count(), 0);
}

void tst_FileOpenEdit_DropTarget::disabledOrMovedTarget_ignoresDrops()
{
    Panel p;
    Panel other;
    FileDropTarget target;
    target.setControl(&p.panel);
    QVERIFY(p.panel.acceptDrops());
    QSignalSpy spy(&target, &FileDropTarget::fmDragDrop);
    std::unique_ptr<QMimeData> mime(fileMime({touch(m_dir, "x.txt")}));

    target.setEnabled(false);
    QVERIFY(!p.panel.acceptDrops());
    dropOn(p.edit, QPoint(1, 1), mime.get());
    QCOMPARE(spy.count(), 0);

    target.setEnabled(true);
    target.setControl(&other.panel);
    QVERIFY(!p.panel.acceptDrops());
    dropOn(&p.panel, QPoint(1, 1), mime.get());
    dropOn(p.edit, QPoint(1, 1), mime.get());
    QCOMPARE(spy.count(), 0);

    QVERIFY(dropOn(other.edit, QPoint(1, 1), mime.get()));
    QCOMPARE(spy.count(), 1);
}

void tst_FileOpenEdit_DropTarget::controlDestroyed_targetLetsGo()
{
    FileDropTarget target;
    {
        Panel p;
        target.setControl(&p.panel);
        QCOMPARE(target.control(), &p.panel);
    }
    QCOMPARE(target.control(), nullptr);
    // Re-serving a new widget after the old one died still works.
    Panel q;
    target.setControl(&q.panel);
    QSignalSpy spy(&target, &FileDropTarget::fmDragDrop);
    std::unique_ptr<QMimeData> mime(fileMime({touch(m_dir, "y.txt")}));
    QVERIFY(dropOn(&q.panel, QPoint(1, 1), mime.get()));
    QCOMPARE(spy.count(), 1);
}

void tst_FileOpenEdit_DropTarget::buildDropList_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<int>("charCase");
    QTest::addColumn<QStringList>("list");

    const QString longPath = "/" + QString(254, 'a');  // 255 characters: left out
    const QString longest = "/" + QString(253, 'b');   // 254: kept
    const QString wide = "/" + QString(200, QChar(0xE9)); // 201 characters, 401 bytes

    QTest::newRow("order kept") << QStringList{"/c/One.txt", "/a/Two.txt", "/b"} << 0
                                << QStringList{"/c/One.txt", "/a/Two.txt", "/b"};
    QTest::newRow("255 characters left out") << QStringList{"/x.txt", longPath, longest} << 0
                                             << QStringList{"/x.txt", longest};
    QTest::newRow("length in characters, not bytes") << QStringList{wide} << 0 << QStringList{wide};
    QTest::newRow("lower case") << QStringList{"/Dir/Main.TXT"} << 1 << QStringList{"/dir/main.txt"};
    QTest::newRow("upper case") << QStringList{"/Dir/Main.txt"} << 2 << QStringList{"/DIR/MAIN.TXT"};
    QTest::newRow("unknown case keeps") << QStringList{"/Dir/Main.txt"} << 7 << QStringList{"/Dir/Main.txt"};
    QTest::newRow("all too long") << QStringList{longPath} << 0 << QStringList{};
}

void tst_FileOpenEdit_DropTarget::buildDropList()
{
    QFETCH(QStringList, paths);
    QFETCH(int, charCase);
    std::vector<std::string> in;
    for (const QString &p : paths)
        in.push_back(p.toStdString());
    QStringList out;
    for (const std::string &s : scb::buildDropList(in, charCase))
        out << QString::fromStdString(s);
    QTEST(out, "list");
}

QTEST_MAIN(tst_FileOpenEdit_DropTarget)
#include "tst_FileOpenEdit_DropTarget.moc"
