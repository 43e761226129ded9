#include "core/ServerLocation.h"

#include "core/internal/ServerFolderOrigin.h"
#include "core/internal/fs/SharedFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>

namespace {

bool holdsAccountFile(const QString &folder)
{
    return !folder.isEmpty() && missingServerPart(folder).isEmpty();
}

ServerLocation found(ServerFolderSource source, const QString &folder)
{
    // Messages name the account file by its full path, whatever the working folder.
    return {source, QDir(folder).absolutePath()};
}

// QFileInfo's own comparison takes two missing files for the same one.
bool sameEntry(const QString &first, const QString &second)
{
    const QFileInfo one(first);
    const QFileInfo other(second);
    if (one.exists() && other.exists())
        return one == other; // as the file system compares: kdata is kData on Windows
    return QDir::cleanPath(one.absoluteFilePath()) == QDir::cleanPath(other.absoluteFilePath());
}

const char *const serverParts[] = {"kData", "kData/kPlayer", "kData/kPlayer/kAdd.txt"};

QMutex locationLock;
ServerLocation locationInUse;

} // namespace

ServerLocation locateServerFolder(const std::optional<QString> &commandLine,
                                  const QString &programFolder, const QString &environment,
                                  const std::function<QString()> &savedFolder)
{
    if (commandLine)
        return found(ServerFolderSource::CommandLine, *commandLine);
    if (holdsAccountFile(programFolder))
        return found(ServerFolderSource::ProgramFolder, programFolder);
    if (!programFolder.isEmpty()) {
        const QString above = QFileInfo(QDir(programFolder).absolutePath()).absolutePath();
        if (holdsAccountFile(above))
            return found(ServerFolderSource::ProgramParent, above);
    }
    if (!environment.isEmpty())
        return found(ServerFolderSource::Environment, environment);
    if (savedFolder) {
        const QString saved = savedFolder();
        if (holdsAccountFile(saved))
            return found(ServerFolderSource::SavedChoice, saved);
    }
    return {};
}

ServerLocation locateServerFolderAbove(const QString &folder)
{
    QDir dir(QDir(folder).absolutePath());
    do {
        // Anyone may put an account file into a folder such as /tmp, and an add run there would
        // hand them the new password.
        if (anyoneMayWrite(dir.path()))
            return {};
        if (holdsAccountFile(dir.path()))
            return found(ServerFolderSource::WorkingFolder, dir.path());
    } while (dir.cdUp());
    return {};
}

QString missingServerPart(const QString &folder)
{
    const QDir dir(folder);
    for (const char *part : {serverParts[0], serverParts[1]}) {
        if (!QFileInfo(dir.filePath(QLatin1String(part))).isDir())
            return QLatin1String(part);
    }
    const QString accountFile = QLatin1String(serverParts[2]);
    return QFileInfo(dir.filePath(accountFile)).isFile() ? QString() : accountFile;
}

QString serverFolderFromPick(const QString &picked)
{
    const QString pick = QDir::cleanPath(QDir(picked).absolutePath());
    QDir above = QFileInfo(pick).absoluteDir();
    for (const char *part : serverParts) {
        if (sameEntry(above.filePath(QLatin1String(part)), pick))
            return above.absolutePath();
        if (!above.cdUp())
            break;
    }
    return pick;
}

void setServerLocationInUse(const ServerLocation &location)
{
    {
        const QMutexLocker locked(&locationLock);
        locationInUse = location;
    }
    setServerFolderDescriber(describeServerFolder);
}

QString describeServerFolder(const QString &accountPath)
{
    const QString server = QDir::cleanPath(
        QFileInfo(accountPath).absoluteDir().absoluteFilePath(QStringLiteral("../..")));
    ServerLocation location;
    {
        const QMutexLocker locked(&locationLock);
        location = locationInUse;
    }
    const QString shown = QDir::toNativeSeparators(server);
    if (location.path.isEmpty() || !sameEntry(location.path, server))
        location.source = ServerFolderSource::None;
    switch (location.source) {
    case ServerFolderSource::CommandLine:
        return QStringLiteral("the server folder %1 was named by --app-dir").arg(shown);
    case ServerFolderSource::ProgramFolder:
        return QStringLiteral("the server folder %1 is the one the program sits in").arg(shown);
    case ServerFolderSource::ProgramParent:
        return QStringLiteral("the server folder %1 is the one above the program's folder")
            .arg(shown);
    case ServerFolderSource::Environment:
        return QStringLiteral("the server folder %1 was named by %2")
            .arg(shown, serverFolderVariable);
    case ServerFolderSource::WorkingFolder:
        return QStringLiteral("the server folder %1 was found from the current folder").arg(shown);
    case ServerFolderSource::SavedChoice:
        return QStringLiteral("the server folder %1 was chosen in the window program; "
                              "right-click its window to choose another")
            .arg(shown);
    case ServerFolderSource::None:
        break;
    }
    return serverFolderLookedIn(accountPath);
}
