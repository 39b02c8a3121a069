// The real font dialog, answered with keys from inside its own modal loop.

#include "adapters/Dialogs.h"
#include "adapters/QtConvert.h"

#include <QApplication>
#include <QDialog>
#include <QFontDialog>
#include <QFontInfo>
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
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("family");

    // "Arial" is not installed; fontconfig draws it with a stand-in face.
    QTest::newRow("Return, nothing changed") << QString() << int(Qt::Key_Return) << true << QStringLiteral("Arial");
    QTest::newRow("Esc") << QString() << int(Qt::Key_Escape) << false << QString();
    QTest::newRow("another family, Return") << QStringLiteral("DejaVu Serif") << int(Qt::Key_Return) << true
                                            << QStringLiteral("DejaVu Serif");
}

void tst_Dialogs::fontDialog_opensOnScoreFont_keepsWhatIsLeftAlone()
{
    QFETCH(QString, pick);
    QFETCH(int, key);
    QFETCH(bool, accepted);
    QFETCH(QString, family);

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
        QTest::keyClick(families, Qt::Key(key));
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
    QCOMPARE(chosen, expected);
}

QTEST_MAIN(tst_Dialogs)
#include "tst_Dialogs.moc"
