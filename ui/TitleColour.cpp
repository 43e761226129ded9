#include "ui/TitleColour.h"

#include <QGuiApplication>
#include <QPalette>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

QColor activeTitleColour()
{
#ifdef Q_OS_WIN
    const COLORREF colour = GetSysColor(COLOR_ACTIVECAPTION);
    return QColor(GetRValue(colour), GetGValue(colour), GetBValue(colour));
#else
    // Other desktops expose no title-bar colour; the highlight colour is the theme's accent.
    return QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight);
#endif
}
