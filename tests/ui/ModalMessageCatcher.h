#pragma once

#include "ui/ModalMessage.h"

#include <QList>
#include <QMessageBox>

#include <functional>

// Answers the program's message boxes in place of the operator and remembers each, so no test
// can block in a modal loop. onShow runs while a box is up, to see the window behind it.
class ModalMessageCatcher
{
public:
    struct Shown
    {
        QString text;
        QString title;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
    };

    ModalMessageCatcher()
    {
        ModalMessage::setAnswerer([this](QMessageBox &box) {
            shown.append({box.text(), box.windowTitle(), box.icon(), box.standardButtons()});
            if (onShow)
                onShow();
        });
    }
    ~ModalMessageCatcher() { ModalMessage::setAnswerer({}); }
    ModalMessageCatcher(const ModalMessageCatcher &) = delete;
    ModalMessageCatcher &operator=(const ModalMessageCatcher &) = delete;

    QList<Shown> shown;
    std::function<void()> onShow;
};
