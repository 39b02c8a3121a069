// The real font dialog, answered with keys from inside its own modal loop.

#include "adapters/Dialogs.h"
#include "adapters/QtConvert.h"

#include <QApplication>
#include <QDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QLineEdit>
#include <QListView>
#include <QStringListModel>
#include <QTest>
#include <QTimer>

class tst_Dialogs : public QObject
{
    Q_OBJECT

private slots:
    void fontDialog_opensOnScoreFont_keepsWhatIsLeftAlone_data();
    void fontDialog_opensOnScoreFont_keepsWhatIsLeftAlone();
};

void tst_Dialogs::fontDialog_opensOnScoreFont_keepsWhatIsLeftAlone_data()
{
    QTest::addColumn<QString>("pick"); // a family chosen in the list, or none
    QTest::addColumn<QString>("size"); // typed into the size field, which then gets the key
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("points");

    // "Arial" is not installed; fontconfig draws it with a stand-in face.
    QTest::newRow("Return, nothing changed") << QString() << QString() << int(Qt::Key_Return) << true
                                             << QStringLiteral("Arial") << 18;
    QTest::newRow("Esc") << QString() << QString() << int(Qt::Key_Escape) << false << QString() << 0;
    QTest::newRow("another family, Return") << QStringLiteral("DejaVu Serif") << QString() << int(Qt::Key_Return)
                                            << true << QStringLiteral("DejaVu Serif") << 18;
    QTest::newRow("size typed, Return there") << QString() << QStringLiteral("26") << int(Qt::Key_Return) << true
                                              << QStringLiteral("Arial") << 26;
    QTest::newRow("size typed, Enter there") << QString() << QStringLiteral("9") << int(Qt::Key_Enter) << true
                                             << QStringLiteral("Arial") << 9;
}

void tst_Dialogs::fontDialog_opensOnScoreFont_keepsWhatIsLeftAlone()
{
    QFETCH(QString, pick);
    QFETCH(QString, size);
    QFETCH(int, key);
    QFETCH(bool, accepted);
    QFETCH(QString, family);
    QFETCH(int, points);

    const scb::ScoreFont initial; // Arial, 18 points, bold, red
    QFont shown;
    bool stillOpen = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        auto *panel = dialog ? dialog->findChild<QFontDialog *>() : nullptr;
        QListView *families = nullptr;
        if (panel) {
            shown = panel->currentFont();
            for (QListView *list : panel->findChildren<QListView *>())
                if (list->currentIndex().data().toString() == shown.family())
                    families = list;
        }
        if (!families) {
            if (dialog)
                dialog->reject();
            return;
        }
        if (!pick.isEmpty()) {
            const auto *model = qobject_cast<QStringListModel *>(families->model());
            families->setCurrentIndex(model->index(int(model->stringList().indexOf(pick))));
        }
        QWidget *target = families;
        if (!size.isEmpty()) {
            // The size field is the one edit that checks what is typed.
            for (QLineEdit *edit : panel->findChildren<QLineEdit *>())
                if (edit->validator())
                    target = edit;
            static_cast<QLineEdit *>(target)->selectAll();
            QTest::keyClicks(target, size);
        }
        QTest::keyClick(target, Qt::Key(key));
        stillOpen = dialog->isVisible();
        if (stillOpen)
            dialog->reject();
    });
    SystemDialogs dialogs;
    const std::optional<FontChoice> choice =
        dialogs.chooseFont(nullptr, {toQFont(initial), toQColor(initial.color)});

    QCOMPARE(shown.family(), QFontInfo(toQFont(initial)).family());
    QCOMPARE(shown.pointSize(), 18);
    QVERIFY(shown.bold());
    QVERIFY2(!stillOpen, "the key left the dialog open");
    QCOMPARE(choice.has_value(), accepted);
    if (!accepted)
        return;
    // What the settings file gets: FName, FSize, FBold and FColor.
    scb::ScoreFont chosen = initial;
    assignFromQFont(chosen, choice->font);
    chosen.color = fromQColor(choice->color);
    scb::ScoreFont expected = initial;
    expected.family = family.toStdString();
    expected.size = points;
    QCOMPARE(chosen, expected);
}

QTEST_MAIN(tst_Dialogs)
#include "tst_Dialogs.moc"
