#pragma once

#include <QtGlobal>

// Process-wide values shared by the two windows.
namespace Module1 {

// Sum of the GM privilege flags chosen in the GM selection window (0..65535). Written by the
// GM selection window when it opens and on Done; read and reset by Create Account and Clear,
// which reach it through the main window's entry view.
extern qint32 gmFlagTotal;

} // namespace Module1
