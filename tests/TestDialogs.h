#pragma once
// Scripted answers for the modal dialogs, so window tests never block.

#include "adapters/Dialogs.h"

#include <QStringList>

#include <deque>

class TestDialogs : public Dialogs
{
public:
    std::deque<std::optional<FontChoice>> fonts;
    std::deque<std::optional<QColor>> colors;
    std::deque<std::optional<QString>> pictures;
    std::deque<bool> confirmations;

    QStringList messages;
    QStringList questions;
    QString lastPictureDir;
    FontChoice lastFontInitial;
    QColor lastColorInitial;

    std::optional<FontChoice> chooseFont(QWidget *, const FontChoice &initial) override
    {
        lastFontInitial = initial;
        return take(fonts);
    }
    std::optional<QColor> chooseColor(QWidget *, const QColor &initial) override
    {
        lastColorInitial = initial;
        return take(colors);
    }
    std::optional<QString> choosePicture(QWidget *, const QString &initialDir) override
    {
        lastPictureDir = initialDir;
        return take(pictures);
    }
    bool confirm(QWidget *, const QString &question) override
    {
        questions << question;
        if (confirmations.empty())
            return false;
        const bool answer = confirmations.front();
        confirmations.pop_front();
        return answer;
    }
    void message(QWidget *, const QString &text) override { messages << text; }

private:
    template <typename T>
    static std::optional<T> take(std::deque<std::optional<T>> &queue)
    {
        if (queue.empty())
            return std::nullopt;
        const bool answered = queue.front().has_value();
        T value = answered ? *queue.front() : T();
        queue.pop_front();
        if (!answered)
            return std::nullopt;
        return value;
    }
};
