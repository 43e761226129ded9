#pragma once

#include <QColor>

// The colour of an active window's title bar, which several captions borrow.
QColor activeTitleColour();
