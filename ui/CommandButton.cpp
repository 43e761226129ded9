#include "ui/CommandButton.h"

#include <QPushButton>

QPushButton *makeCommandButton(QWidget *window, const char *name, const QString &caption,
                               QRect rect)
{
    auto *button = new QPushButton(caption, window);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(rect);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}
