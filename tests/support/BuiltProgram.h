#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QString>

// A program of this build, from the path CMake gave at build time. A build made on Linux for
// Windows gives paths like /work/build/kadd.exe, which Windows reads as relative to the current
// drive: they are anchored to the drive the test itself runs from.
inline QString builtProgram(const char *path)
{
    QString program = QString::fromLocal8Bit(path);
#ifdef Q_OS_WIN
    if (program.startsWith(u'/') && !program.startsWith(QLatin1String("//")))
        program.prepend(QCoreApplication::applicationDirPath().left(2));
#endif
    return QDir::cleanPath(program);
}

// What a program wrote to its standard output or error, with the CR LF line ends that Windows
// writes to the console in text mode read as plain line ends.
inline QByteArray consoleText(QByteArray bytes)
{
#ifdef Q_OS_WIN
    bytes.replace("\r\n", "\n");
#endif
    return bytes;
}
