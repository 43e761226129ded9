#pragma once

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// One throwaway server folder for the whole fuzz run, in memory where the system has such a
// folder, and the working folder too: a run makes millions of updates.
inline const QString &scratchServerFolder(const QString &name)
{
    static std::unique_ptr<QTemporaryDir> dir;
    static QString path;
    if (!dir) {
        const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                                       : QDir::tempPath();
        dir = std::make_unique<QTemporaryDir>(base + u'/' + name + QStringLiteral("-XXXXXX"));
        path = dir->path();
        QDir(path).mkpath(QStringLiteral("kData/kPlayer"));
        QDir::setCurrent(path);
    }
    return path;
}
