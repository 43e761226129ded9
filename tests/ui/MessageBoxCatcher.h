#pragma once

#include "MessageBox.h"

#include <QList>
#include <QMessageBox>

#include <functional>

// Answers the program's message boxes in place of the operator and remembers each, so no test
// can block in a modal loop. onShow runs while a box is up, to see the window behind it.
class MessageBoxCatcher
{
public:
    struct Shown
    {
        QString text;
        QString title;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
    };

    MessageBoxCatcher()
    {
        MessageBox::setAnswerer([this](QMessageBox &box) {
            shown.append({box.text(), box.windowTitle(), box.icon(), box.standardButtons()});
            if (onShow)
                onShow();
        });
    }
    ~MessageBoxCatcher() { MessageBox::setAnswerer({}); }
    MessageBoxCatcher(const MessageBoxCatcher &) = delete;
    MessageBoxCatcher &operator=(const MessageBoxCatcher &) = delete;

    QList<Shown> shown;
    std::function<void()> onShow;
};
