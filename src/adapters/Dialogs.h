#pragma once
// The control window's modal dialogs behind one small interface, so tests
// answer them without a person and no test blocks on a real modal dialog.

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>
#include <utility>

struct FontChoice
{
    QFont font;
    QColor color;
};

class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // Font with colour and effects; nullopt on cancel.
    virtual std::optional<FontChoice> chooseFont(QWidget *parent, const FontChoice &initial) = 0;
    // Any colour; nullopt on cancel.
    virtual std::optional<QColor> chooseColor(QWidget *parent, const QColor &initial) = 0;
    // The background picture; nullopt on cancel. initialDir may be empty.
    virtual std::optional<QString> choosePicture(QWidget *parent, const QString &initialDir) = 0;
    // Confirmation box: true for Yes.
    virtual bool confirm(QWidget *parent, const QString &question) = 0;
    // Plain message box: application title, no icon, one OK button.
    virtual void message(QWidget *parent, const QString &text) = 0;
};

// Centres a top-level window, frame included, on the screen that holds home
// (the control window, on the operator's display), as it is shown and once
// more when the window manager has framed it: under X11 the frame is unknown
// until then, and a window centred without it sits off by half its title bar.
void centreOnScreenOnceFramed(QWidget *window, QWidget *home);

// A box that places itself on home's screen as it opens, whichever window
// asked for it: the board sits on the audience's display.
template <typename Box>
class OnHomeScreen : public Box
{
public:
    template <typename... Args>
    explicit OnHomeScreen(QWidget *home, Args &&...args) : Box(std::forward<Args>(args)...), m_home(home)
    {
    }

protected:
    void showEvent(QShowEvent *event) override
    {
        // A message box takes its final size here, before it is mapped.
        Box::showEvent(event);
        centreOnScreenOnceFramed(this, m_home);
    }

private:
    QPointer<QWidget> m_home;
};

// The real, modal dialogs. Boxes belong to home when one is given.
class SystemDialogs : public Dialogs
{
public:
    explicit SystemDialogs(QWidget *home = nullptr) : m_home(home) {}

    std::optional<FontChoice> chooseFont(QWidget *parent, const FontChoice &initial) override;
    std::optional<QColor> chooseColor(QWidget *parent, const QColor &initial) override;
    std::optional<QString> choosePicture(QWidget *parent, const QString &initialDir) override;
    bool confirm(QWidget *parent, const QString &question) override;
    void message(QWidget *parent, const QString &text) override;

private:
    QWidget *owner(QWidget *parent) const { return m_home ? m_home.data() : parent; }

    QPointer<QWidget> m_home;
};
