#pragma once

#include <QRect>

// Window layouts are given in twips; at the classic 96 dpi a pixel is 15 twips.
constexpr int twipsPerPixel = 15;

constexpr QRect twips(int left, int top, int width, int height)
{
    return QRect(left / twipsPerPixel, top / twipsPerPixel, width / twipsPerPixel,
                 height / twipsPerPixel);
}
