#pragma once
// The application object carries the program-wide error model: an exception
// that escapes an event handler ends that event only and is shown in the
// error box; the program carries on.

#include <QApplication>

#include <functional>

class QKeyEvent;

class Application : public QApplication
{
public:
    Application(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // What an error box shows: the text with a full stop appended when its
    // last character's code is above that of '.', a detail below it (may be
    // empty), and a way out (a second button beside OK; empty for none).
    struct ErrorBox
    {
        QString text;
        QString detail;
        QString wayOut;
    };

    // Shows the error box (or hands it to the test hook).
    static void reportError(const QString &message);
    // The same with a detail and a way out; OK stays the default and Esc.
    // True when the operator took the way out.
    static bool reportError(const QString &message, const QString &detail, const QString &wayOut);

    // For handlers that Qt calls from inside a control's own processing (a
    // line edit's keystroke, a button's release): an exception must not unwind
    // through Qt's code, which is not written for it, so the handler's error
    // is caught at its edge and the error box follows once the event is done.
    static void reportErrorLater(const QString &message);
    static void runGuarded(const std::function<void()> &handler);
    template <typename Handler>
    static auto guarded(Handler handler)
    {
        return [handler] { runGuarded(handler); };
    }
    // The same for a receiver's handler, taking the signal's arguments.
    template <typename Receiver, typename... Args>
    static auto guarded(Receiver *receiver, void (Receiver::*handler)(Args...))
    {
        return [receiver, handler](Args... args) { runGuarded([&] { (receiver->*handler)(args...); }); };
    }

    // For work finished on another thread: runs it on receiver's thread as a
    // queued call, guarded like a handler, and drops it when receiver is gone.
    static std::function<void(std::function<void()>)> postTo(QObject *receiver);
    // The control window: error boxes are centred on the screen that holds
    // it, the operator's, never on the board's.
    static void setHomeWindow(QWidget *window);

    // Tests answer the error box through this instead of a modal dialog:
    // true takes the way out, where the box offers one.
    static std::function<bool(const ErrorBox &box)> errorBoxHook;

    static const QString Title;

    // Key preview: the window's handler sees every key released in any of
    // its controls before the control does, whichever control has the focus.
    using KeyPreview = std::function<void(QKeyEvent *)>;
    static void setKeyPreview(QWidget *window, KeyPreview handler);
};
