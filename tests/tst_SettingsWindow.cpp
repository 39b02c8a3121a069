// "Resolution.ini" as the operator meets it: read when the control window
// first shows, written when it closes, never lost when writing fails.

#include "DefaultSettings.h"
#include "WindowFixture.h"
#include "core/Settings.h"

#include <QTimer>

#include <unistd.h>

namespace {

const QByteArray DefaultFile = DefaultSettingsFile;

QByteArray withLine(QByteArray file, const QByteArray &key, const QByteArray &value)
{
    const qsizetype at = file.indexOf("\r\n" + key + "=") + 2;
    const qsizetype end = file.indexOf("\r\n", at);
    file.replace(at, end - at, key + "=" + value);
    return file;
}

} // namespace

class tst_SettingsWindow : public QObject
{
    Q_OBJECT

private slots:
    void noFile_defaultsShownAndWrittenByteForByte();
    void noFile_mainTxtInFolder_isPickedUp();
    void missingDisplayFile_fallsBackToMainTxt();
    void handWrittenFile_comesBackInNormalForm_data();
    void handWrittenFile_comesBackInNormalForm();
    void boldItalicFont_keptForRun_writtenPlain();
    void workingDirectoryChangedDuringRun_writesToStartFolder();
    void folderVanished_showsErrorAndKeepsWindowOpen();
};

void tst_SettingsWindow::noFile_defaultsShownAndWrittenByteForByte()
{
    WindowFixture w;
    w.start();
    QCOMPARE(w.child<SpinEdit>("ScreenLeft")->text(), QStringLiteral("801"));
    QCOMPARE(w.child<SpinEdit>("ScreenTop")->text(), QString()); // never set from 0: empty, reads 0
    QCOMPARE(w.child<SpinEdit>("ScreenTop")->asInteger(), 0);
    QCOMPARE(w.child<SpinEdit>("ScreenWidth")->text(), QStringLiteral("800"));
    QCOMPARE(w.child<SpinEdit>("ScreenHeight")->text(), QStringLiteral("600"));
    QCOMPARE(w.form->state().Choices.Look.BackColor, 8454143);
    QVERIFY(w.form->state().Choices.Look.ShowBorder);
    QVERIFY(w.child<ScbCheckBox>("ScbBorder")->isChecked());
    QCOMPARE(w.form->state().Choices.Look.Font, scb::ScoreFont{});
    QCOMPARE(w.child<FileOpenEdit>("XMLFile")->filename(), QString());
    QVERIFY(w.form->state().Choices.Look.BackgroundImagePath.empty());

    QVERIFY(w.form->close());
    QCOMPARE(w.readFile("Resolution.ini"), DefaultFile);
}

void tst_SettingsWindow::noFile_mainTxtInFolder_isPickedUp()
{
    WindowFixture w;
    w.writeFile("Main.txt", "a\r\nb\r\nc\r\nd\r\n");
    w.start();
    QCOMPARE(w.child<FileOpenEdit>("XMLFile")->filename(), w.path("Main.txt"));
    QVERIFY(w.form->close());
    QVERIFY(w.readFile("Resolution.ini").contains("\r\nDisplayFile=" + QFile::encodeName(w.path("Main.txt")) + "\r\n"));
}

void tst_SettingsWindow::missingDisplayFile_fallsBackToMainTxt()
{
    WindowFixture w;
    w.writeFile("Main.txt", "x\r\n");
    w.writeFile("Resolution.ini", withLine(DefaultFile, "DisplayFile", "/nonexistent/Old.txt"));
    w.start();
    QCOMPARE(w.child<FileOpenEdit>("XMLFile")->filename(), w.path("Main.txt"));
}

void tst_SettingsWindow::handWrittenFile_comesBackInNormalForm_data()
{
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("hex colour") << withLine(DefaultFile, "BColor", "0x80FFFF") << QByteArray("BColor")
                                << QByteArray("8454143");
    QTest::newRow("dollar hex") << withLine(DefaultFile, "BColor", "$FF") << QByteArray("BColor")
                                << QByteArray("255");
    QTest::newRow("not a number") << withLine(DefaultFile, "BColor", "abc") << QByteArray("BColor")
                                  << QByteArray("8454143");
    QTest::newRow("border 5") << withLine(DefaultFile, "ShowBorder", "5") << QByteArray("ShowBorder")
                              << QByteArray("0");
    QTest::newRow("negative left clamped") << withLine(DefaultFile, "SLeft", "-5") << QByteArray("SLeft")
                                           << QByteArray("0");
    QTest::newRow("wide width clamped") << withLine(DefaultFile, "SWidth", "12000") << QByteArray("SWidth")
                                        << QByteArray("9999");
    QTest::newRow("quoted family") << withLine(DefaultFile, "FName", "\"Courier New\"") << QByteArray("FName")
                                   << QByteArray("Courier New");
    QByteArray lower = DefaultFile;
    lower.replace("[Settings]", "[settings]").replace("STop=0", "stop=40");
    QTest::newRow("other letter case") << lower << QByteArray("STop") << QByteArray("40");
    QTest::newRow("extra keys dropped") << DefaultFile + "Extra=1\r\n[Other]\r\nX=2\r\n" << QByteArray("FColor")
                                        << QByteArray("255");
}

void tst_SettingsWindow::handWrittenFile_comesBackInNormalForm()
{
    QFETCH(QByteArray, written);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, expected);

    WindowFixture w;
    w.writeFile("Resolution.ini", written);
    w.start();
    QVERIFY(w.form->close());
    const QByteArray saved = w.readFile("Resolution.ini");
    QCOMPARE(saved.count("\r\n"), 13);
    QVERIFY2(saved.contains("\r\n" + key + "=" + expected + "\r\n"), saved.constData());
    QVERIFY(!saved.contains("Extra"));
    QVERIFY(saved.startsWith("[Settings]\r\n"));
}

void tst_SettingsWindow::boldItalicFont_keptForRun_writtenPlain()
{
    {
        WindowFixture w;
        w.start();
        w.tick();
        QFont chosen(QStringLiteral("Courier New"));
        chosen.setPointSize(30);
        chosen.setBold(true);
        chosen.setItalic(true);
        w.dialogs->fonts.push_back(FontChoice{chosen, QColor(0, 0, 255)});
        QVERIFY(w.call("Button1Click"));
        QVERIFY(w.grid()->gridFont().italic());
        QVERIFY(w.grid()->gridFont().bold());
        QVERIFY(w.form->close());
        const QByteArray saved = w.readFile("Resolution.ini");
        QVERIFY(saved.contains("\r\nFBold=0\r\n"));
        QVERIFY(saved.contains("\r\nFSize=30\r\n"));
        QVERIFY(saved.contains("\r\nFColor=16711680\r\n"));

        // A restart in the same folder reads the font back plain.
        WindowFixture again;
        again.writeFile("Resolution.ini", saved);
        again.start();
        QVERIFY(!again.form->state().Choices.Look.Font.bold);
        QVERIFY(!again.form->state().Choices.Look.Font.italic);
        QCOMPARE(again.form->state().Choices.Look.Font.size, 30);
    }
}

void tst_SettingsWindow::workingDirectoryChangedDuringRun_writesToStartFolder()
{
    WindowFixture w;
    QTemporaryDir elsewhere;
    w.start();
    QVERIFY(QDir::setCurrent(elsewhere.path()));
    QVERIFY(w.form->close());
    QCOMPARE(w.readFile("Resolution.ini"), DefaultFile);
    QVERIFY(!QFile::exists(elsewhere.filePath("Resolution.ini")));
}

void tst_SettingsWindow::folderVanished_showsErrorAndKeepsWindowOpen()
{
    WindowFixture w;
    QTemporaryDir parent;
    const QString sub = parent.filePath("venue");
    QVERIFY(QDir().mkdir(sub));
    QVERIFY(QDir::setCurrent(sub));
    // Start in the folder that will vanish.
    w.form = std::make_unique<TSCBForm>();
    w.results = std::make_unique<TResultsForm>();
    w.form->setResultsForm(w.results.get());
    w.form->setDialogs(w.dialogs);
    w.form->show();
    QVERIFY(w.child<QTimer>("Timer1")->isActive());
    QVERIFY(QDir(sub).removeRecursively());

    QVERIFY(!w.form->close());
    QCOMPARE(w.errorBoxes, QStringList{QStringLiteral("Invalid filename.")});
    QVERIFY(w.form->isVisible());
    QVERIFY(w.child<QTimer>("Timer1")->isActive());
}

SCB_WINDOW_TEST_MAIN(tst_SettingsWindow)
#include "tst_SettingsWindow.moc"
