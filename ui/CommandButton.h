#pragma once

#include <QRect>
#include <QString>

class QPushButton;
class QWidget;

// A push button at a fixed place that answers neither Enter nor Escape: in these windows only a
// click presses a button.
QPushButton *makeCommandButton(QWidget *window, const char *name, const QString &caption,
                               QRect rect);
