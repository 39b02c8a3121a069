// Dressing the board: font, colours, border and the background picture reach
// it at once, and a bad picture never crashes or shows garbage.

#include "WindowFixture.h"
#include "adapters/BackgroundPicture.h"

#include <QImage>
#include <QBuffer>
#include <QPainter>

namespace {

// A picture whose colour tells where it was taken from.
QImage stripes(int width, int height)
{
    QImage img(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            img.setPixelColor(x, y, QColor(x % 256, y % 256, 200));
    return img;
}

QByteArray bmpHeaderClaiming(int width, int height)
{
    QByteArray b(54, '\0');
    auto put32 = [&b](int at, quint32 v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, 54);
    put32(10, 54);
    put32(14, 40);
    put32(18, quint32(width));
    put32(22, quint32(height));
    b[26] = 1;
    b[28] = 24;
    return b;
}

// Chooses a picture of the given size through the picture dialog.
void choosePicture(WindowFixture &w, const QString &name, const QImage &picture)
{
    QVERIFY(picture.save(w.path(name)));
    w.dialogs->pictures.push_back(w.path(name));
    QVERIFY(w.call("ButtonBackgroundImageClick"));
    QCOMPARE(w.dialogs->messages, QStringList());
    QCOMPARE(w.grid()->picture().size(), picture.size());
}

} // namespace

class tst_Styling : public QObject
{
    Q_OBJECT

private slots:
    void fontAndColour_reachBoardAtOnce();
    void cancelledFontDialog_stillPutsMovedBoardBack();
    void backgroundColour_reachesBoard();
    void borderCheckBox_togglesEdgeAndRows();
    void picture_missingPath_storedAndWritten_noPicture();
    void picture_cancelThenNo_reloadsChangedFile();
    void picture_cancelThenYes_removesPictureForGood();
    void picture_showsUnderEachRowAroundText();
    void badPicture_showsMessage_clearsPath_keepsPrevious_data();
    void badPicture_showsMessage_clearsPath_keepsPrevious();
};

void tst_Styling::fontAndColour_reachBoardAtOnce()
{
    WindowFixture w;
    w.start();
    w.tick();
    QFont chosen(QStringLiteral("Courier New"));
    chosen.setPointSize(24);
    w.dialogs->fonts.push_back(FontChoice{chosen, QColor(0, 128, 0)});
    QVERIFY(w.call("Button1Click"));
    QCOMPARE(w.dialogs->lastFontInitial.color, QColor(255, 0, 0));
    QCOMPARE(w.grid()->gridFont().pointSize(), 24);
    QCOMPARE(w.form->state().Choices.Look.Font.family, std::string("Courier New"));
    QCOMPARE(w.form->state().Choices.Look.Font.color, scb::makeColor(0, 128, 0));

    w.dialogs->colors.push_back(QColor(1, 2, 3));
    QVERIFY(w.call("LMDButton4Click"));
    QCOMPARE(w.form->state().Choices.Look.Font.color, scb::makeColor(1, 2, 3));
}

void tst_Styling::cancelledFontDialog_stillPutsMovedBoardBack()
{
    WindowFixture w;
    w.start();
    w.tick();
    QTest::keyClick(w.form.get(), Qt::Key_F8);
    QTest::keyClick(w.results.get(), Qt::Key_Right);
    QCOMPARE(w.results->x(), 811);
    QVERIFY(w.call("Button1Click")); // no answer queued: cancel
    QCOMPARE(w.results->x(), 801);
    QCOMPARE(w.form->state().Choices.Look.Font, scb::ScoreFont{});
}

void tst_Styling::backgroundColour_reachesBoard()
{
    WindowFixture w;
    w.start();
    w.tick();
    w.dialogs->colors.push_back(QColor(10, 20, 30));
    QVERIFY(w.call("Button2Click"));
    QCOMPARE(w.form->state().Choices.Look.BackColor, scb::makeColor(10, 20, 30));
    QCOMPARE(w.grid()->gridColor(), QColor(10, 20, 30));
    QVERIFY(w.call("Button2Click")); // cancelled: unchanged
    QCOMPARE(w.grid()->gridColor(), QColor(10, 20, 30));
}

void tst_Styling::borderCheckBox_togglesEdgeAndRows()
{
    WindowFixture w;
    w.start();
    w.tick();
    QVERIFY(w.grid()->hasBorder());
    QTest::mouseClick(w.child<ScbCheckBox>("ScbBorder"), Qt::LeftButton, {}, QPoint(5, 8));
    QVERIFY(!w.form->state().Choices.Look.ShowBorder);
    QVERIFY(!w.grid()->hasBorder());
    QCOMPARE(w.grid()->clientArea().height(), 600);
    w.child<ScbCheckBox>("ScbBorder")->setChecked(true);
    QVERIFY(w.grid()->hasBorder());
    QCOMPARE(w.grid()->clientArea().height(), 596);
}

void tst_Styling::picture_missingPath_storedAndWritten_noPicture()
{
    WindowFixture w;
    w.start();
    w.tick();
    const QString missing = w.path("sponsor.bmp");
    w.dialogs->pictures.push_back(missing);
    QVERIFY(w.call("ButtonBackgroundImageClick"));
    QCOMPARE(QString::fromStdString(w.form->state().Choices.Look.BackgroundImagePath), missing);
    QVERIFY(!w.form->state().BackgroundLoaded);
    QVERIFY(w.dialogs->messages.isEmpty());
    QVERIFY(w.form->close());
    QVERIFY(w.readFile("Resolution.ini").contains("\r\nBackgroundImage=" + QFile::encodeName(missing) + "\r\n"));
}

void tst_Styling::picture_cancelThenNo_reloadsChangedFile()
{
    WindowFixture w;
    w.start();
    w.tick();
    choosePicture(w, "pic.bmp", stripes(20, 20));

    QVERIFY(stripes(40, 30).save(w.path("pic.bmp")));
    w.dialogs->confirmations.push_back(false);
    QVERIFY(w.call("ButtonBackgroundImageClick")); // cancel, then No
    QCOMPARE(w.dialogs->questions, QStringList{QStringLiteral("Clear the image?")});
    QCOMPARE(w.dialogs->lastPictureDir, w.dir());
    QCOMPARE(w.grid()->picture().width(), 40);
    QVERIFY(w.form->state().BackgroundLoaded);
}

void tst_Styling::picture_cancelThenYes_removesPictureForGood()
{
    WindowFixture w;
    w.start();
    w.tick();
    choosePicture(w, "pic.bmp", stripes(20, 20));
    QVERIFY(w.form->state().BackgroundLoaded);
    w.dialogs->confirmations.push_back(true);
    QVERIFY(w.call("ButtonBackgroundImageClick"));
    QVERIFY(w.form->state().Choices.Look.BackgroundImagePath.empty());
    QVERIFY(!w.form->state().BackgroundLoaded);

    // A later picture that fails to load must not bring the removed one back.
    w.writeFile("bad.bmp", "BM");
    w.dialogs->pictures.push_back(w.path("bad.bmp"));
    QVERIFY(w.call("ButtonBackgroundImageClick"));
    QCOMPARE(w.dialogs->messages.size(), 1);
    QVERIFY(w.grid()->picture().isNull());
    QCOMPARE(w.grid()->grab().toImage().pixelColor(5, 5), QColor(255, 255, 128));
}

void tst_Styling::picture_showsUnderEachRowAroundText()
{
    WindowFixture w;
    w.writeFile("Main.txt", "TIME:\r\nI\r\nI\r\nI\r\n");
    w.start();
    w.child<ScbCheckBox>("ScbBorder")->setChecked(false);
    w.tick();
    const QImage picture = stripes(300, 300);
    choosePicture(w, "pic.bmp", picture);
    const QImage shot = w.grid()->grab().toImage();
    // Row 2 spans y 100..149: the picture's own pixels show at the same place,
    // and the text is drawn over them.
    for (const QPoint p : {QPoint(250, 110), QPoint(120, 140), QPoint(299, 299)})
        QCOMPARE(shot.pixelColor(p), picture.pixelColor(p));
    // Beyond the picture the background colour shows.
    QCOMPARE(shot.pixelColor(500, 120), QColor(255, 255, 128));
    QCOMPARE(shot.pixelColor(100, 450), QColor(255, 255, 128));
    int textPixels = 0;
    for (int y = 50; y < 100; ++y)
        for (int x = 0; x < 60; ++x)
            textPixels += shot.pixelColor(x, y) == QColor(255, 0, 0);
    QVERIFY(textPixels > 20);
}

void tst_Styling::badPicture_showsMessage_clearsPath_keepsPrevious_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");

    QByteArray good;
    {
        QBuffer buffer(&good);
        buffer.open(QIODevice::WriteOnly);
        stripes(16, 16).save(&buffer, "BMP");
    }
    QTest::newRow("png extension") << "pic.png" << good;
    QTest::newRow("starts with XX") << "pic.bmp" << QByteArray("XX").append(good.mid(2));
    QTest::newRow("cut in half") << "pic.bmp" << good.left(good.size() / 2);
    QTest::newRow("zero bytes") << "pic.bmp" << QByteArray();
    QTest::newRow("100000 x 100000") << "pic.bmp" << bmpHeaderClaiming(100000, 100000);
    QTest::newRow("zero-byte icon") << "pic.ico" << QByteArray();
}

void tst_Styling::badPicture_showsMessage_clearsPath_keepsPrevious()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);

    WindowFixture w;
    w.start();
    w.tick();
    choosePicture(w, "good.bmp", stripes(20, 20));

    w.writeFile(name, bytes);
    w.dialogs->pictures.push_back(w.path(name));
    QVERIFY(w.call("ButtonBackgroundImageClick"));
    QCOMPARE(w.dialogs->messages,
             QStringList{backgroundLoadErrorText(w.path(name))});
    QVERIFY(w.form->state().Choices.Look.BackgroundImagePath.empty());
    QCOMPARE(w.grid()->picture().width(), 20);
}

SCB_WINDOW_TEST_MAIN(tst_Styling)
#include "tst_Styling.moc"
