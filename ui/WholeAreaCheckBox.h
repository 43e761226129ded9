#pragma once

#include <QCheckBox>

// The GM flag boxes are wide and fixed in size; operators click anywhere in them, not only on
// the indicator and the caption, which is all a QCheckBox answers to by default.
class WholeAreaCheckBox : public QCheckBox
{
public:
    using QCheckBox::QCheckBox;

protected:
    bool hitButton(const QPoint &pos) const override;
};
