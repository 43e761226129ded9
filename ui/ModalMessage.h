#pragma once

#include "core/EntryView.h"

#include <QString>

#include <functional>
#include <optional>

class QMessageBox;
class QWidget;

// Every message box of the program passes through here, so tests can answer it in place of
// the operator instead of blocking in a modal loop.
class ModalMessage
{
public:
    // Receives the box ready to show; it is not shown while an answerer is installed.
    using Answerer = std::function<void(QMessageBox &box)>;

    static inline const QString applicationTitle = QStringLiteral("Kelto Account Creator");

    // A modal box with the text, the title (the application's when none), the icon and OK.
    static void show(QWidget *parent, const QString &text, const std::optional<QString> &title,
                     MessageIcon icon);

    // An empty answerer restores the real, modal box.
    static void setAnswerer(Answerer answerer);
};
