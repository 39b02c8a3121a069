#pragma once
// The control window's modal dialogs behind one small interface, so tests
// answer them without a person and no test blocks on a real modal dialog.

#include <QColor>
#include <QFont>
#include <QString>

#include <optional>

class QWidget;

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

// The real, modal dialogs.
class SystemDialogs : public Dialogs
{
public:
    std::optional<FontChoice> chooseFont(QWidget *parent, const FontChoice &initial) override;
    std::optional<QColor> chooseColor(QWidget *parent, const QColor &initial) override;
    std::optional<QString> choosePicture(QWidget *parent, const QString &initialDir) override;
    bool confirm(QWidget *parent, const QString &question) override;
    void message(QWidget *parent, const QString &text) override;
};
