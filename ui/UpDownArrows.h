#pragma once

class QAbstractButton;

// Makes Up and Down move between two option buttons that sit side by side, as Left and Right
// do. Qt moves only towards a button lying in the arrow's direction, so on one row Up and Down
// would do nothing. Up acts as Left and Down as Right, which keeps the order on screen.
void moveAcrossWithUpAndDown(QAbstractButton *first, QAbstractButton *second);
