#pragma once

#include <QApplication>
#include <QTest>
#include <QWidget>

// Finds a control by the name the window gives it; a missing one fails the calling test.
template <typename T> T *control(const QWidget *window, const char *name)
{
    T *found = window->findChild<T *>(QLatin1String(name));
    if (!found)
        qWarning("no control named %s", name);
    return found;
}

// The focus chain as Tab walks it, starting where the focus is now.
inline QStringList tabWalk(QWidget *window, int steps)
{
    QStringList names;
    for (int i = 0; i < steps; ++i) {
        QWidget *focused = QApplication::focusWidget();
        names << (focused ? focused->objectName() : QStringLiteral("<none>"));
        QTest::keyClick(focused ? focused : window, Qt::Key_Tab);
    }
    return names;
}
