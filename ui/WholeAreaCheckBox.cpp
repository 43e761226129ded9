#include "ui/WholeAreaCheckBox.h"

bool WholeAreaCheckBox::hitButton(const QPoint &pos) const
{
    return rect().contains(pos);
}
