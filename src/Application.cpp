#include "Application.h"

#include "core/Error.h"
#include "core/Version.h"
#include "adapters/Dialogs.h"

#include <QHash>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStyleHints>
#include <QTimer>

#include <exception>

std::function<bool(const Application::ErrorBox &)> Application::errorBoxHook;
const QString Application::Title = QStringLiteral("Torvane Scoreboard");

namespace {

QPointer<QWidget> &homeWindow()
{
    static QPointer<QWidget> home;
    return home;
}

QHash<QWidget *, Application::KeyPreview> &keyPreviews()
{
    static QHash<QWidget *, Application::KeyPreview> previews;
    return previews;
}

} // namespace

void Application::setKeyPreview(QWidget *window, KeyPreview handler)
{
    if (!handler) {
        keyPreviews().remove(window);
        return;
    }
    const bool known = keyPreviews().contains(window);
    keyPreviews().insert(window, std::move(handler));
    if (!known)
        QObject::connect(window, &QObject::destroyed, [window] { keyPreviews().remove(window); });
}

Application::Application(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(Title);
    setApplicationVersion(QLatin1String(scb::Version));
    // The caret is on for 530 ms and off for 530 ms; Qt's flash time is the
    // whole cycle.
    styleHints()->setCursorFlashTime(2 * 530);
}

void Application::setHomeWindow(QWidget *window)
{
    homeWindow() = window;
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        // notify() sees the first receiver only once, before Qt passes an
        // unhandled key on to the parents, so the preview runs once per key.
        if (event->type() == QEvent::KeyRelease && receiver->isWidgetType()) {
            QWidget *window = static_cast<QWidget *>(receiver)->window();
            const auto it = keyPreviews().constFind(window);
            if (it != keyPreviews().constEnd()) {
                const KeyPreview handler = it.value();
                handler(static_cast<QKeyEvent *>(event));
            }
        }
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        reportError(QString::fromStdString(e.what()));
    } catch (...) {
        reportError(QStringLiteral("Unknown error"));
    }
    return false;
}

void Application::reportErrorLater(const QString &message)
{
    QTimer::singleShot(0, qApp, [message] { reportError(message); });
}

void Application::runGuarded(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const std::exception &e) {
        reportErrorLater(QString::fromStdString(e.what()));
    }
}

std::function<void(std::function<void()>)> Application::postTo(QObject *receiver)
{
    return [receiver](std::function<void()> work) {
        QMetaObject::invokeMethod(receiver, guarded(std::move(work)), Qt::QueuedConnection);
    };
}

void Application::reportError(const QString &message)
{
    reportError(message, QString(), QString());
}

bool Application::reportError(const QString &message, const QString &detail, const QString &wayOut)
{
    const ErrorBox box{QString::fromStdString(scb::errorBoxText(message.toStdString())), detail, wayOut};
    if (errorBoxHook)
        return errorBoxHook(box) && !wayOut.isEmpty();
    QWidget *home = homeWindow();
    OnHomeScreen<QMessageBox> dialog(home, QMessageBox::Critical, Title, box.text, QMessageBox::Ok, home);
    dialog.setInformativeText(detail);
    QPushButton *out = wayOut.isEmpty() ? nullptr : dialog.addButton(wayOut, QMessageBox::DestructiveRole);
    dialog.setDefaultButton(QMessageBox::Ok);
    dialog.setEscapeButton(QMessageBox::Ok);
    dialog.exec();
    return out && dialog.clickedButton() == out;
}
