// Draws the control window in both switch states and the scoreboard showing a
// display file, and saves them as PNG pictures for the documentation.
//
//   scb-screenshots [display-file] [output-folder]
//
// Defaults: demo/Main.txt and docs, relative to the current folder. The windows
// are drawn off screen, so no display is needed and nothing flashes up.

#include "Application.h"
#include "Unit_Main.h"
#include "Unit_Results.h"
#include "widgets/FileOpenEdit.h"
#include "widgets/RockerSwitch.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

bool save(QWidget &window, const QString &path)
{
    settle();
    const QImage image = window.grab().toImage();
    if (image.isNull() || !image.save(path)) {
        std::fprintf(stderr, "scb-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s (%dx%d)\n", qPrintable(path), image.width(), image.height());
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    // Same pictures on every machine, with or without a desktop session.
    qputenv("QT_QPA_PLATFORM", "offscreen");

    const QString displayFile = QFileInfo(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("demo/Main.txt"))
                                    .absoluteFilePath();
    const QString outDir = QFileInfo(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("docs"))
                               .absoluteFilePath();
    if (!QFileInfo(displayFile).isFile()) {
        std::fprintf(stderr, "scb-screenshots: no display file %s\n", qPrintable(displayFile));
        return 1;
    }
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "scb-screenshots: cannot create %s\n", qPrintable(outDir));
        return 1;
    }

    Application app(argc, argv);

    // The windows read and write their settings in the working folder: an
    // empty one gives the default settings and keeps the caller's folder clean.
    QTemporaryDir work;
    if (!work.isValid() || !QDir::setCurrent(work.path())) {
        std::fprintf(stderr, "scb-screenshots: no temporary folder\n");
        return 1;
    }

    TSCBForm SCBForm;
    TResultsForm ResultsForm;
    SCBForm.setResultsForm(&ResultsForm);
    SCBForm.show();
    settle();

    // One poll tick by hand: it ends start-up and feeds the file to both windows.
    // The window's components and handlers are its own: reached by name.
    auto *timer = SCBForm.findChild<QTimer *>(QStringLiteral("Timer1"));
    timer->stop();
    SCBForm.findChild<FileOpenEdit *>(QStringLiteral("XMLFile"))->setFilename(displayFile);
    QMetaObject::invokeMethod(&SCBForm, "Timer1Timer");
    timer->stop();

    bool ok = save(SCBForm, QDir(outDir).filePath(QStringLiteral("control-window-closed.png")));

    QMetaObject::invokeMethod(&SCBForm, "ToggleScoreboard");
    ok = save(SCBForm, QDir(outDir).filePath(QStringLiteral("control-window-open.png"))) && ok;
    ok = save(ResultsForm, QDir(outDir).filePath(QStringLiteral("scoreboard.png"))) && ok;

    ResultsForm.hide();
    SCBForm.hide();
    return ok ? 0 : 1;
}
