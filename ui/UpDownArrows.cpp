#include "ui/UpDownArrows.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QKeyEvent>

namespace {

class UpDownAsLeftRight : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() != Qt::Key_Up && key->key() != Qt::Key_Down)
            return false;
        QKeyEvent across(QEvent::KeyPress, key->key() == Qt::Key_Up ? Qt::Key_Left : Qt::Key_Right,
                         key->modifiers(), key->text(), key->isAutoRepeat(), key->count());
        QCoreApplication::sendEvent(watched, &across);
        return true;
    }
};

} // namespace

void moveAcrossWithUpAndDown(QAbstractButton *first, QAbstractButton *second)
{
    auto *filter = new UpDownAsLeftRight(first);
    first->installEventFilter(filter);
    second->installEventFilter(filter);
}
