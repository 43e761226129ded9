#include "core/ServerLocation.h"

#include <QDir>
#include <QFileInfo>

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

} // namespace

ServerLocation locateServerFolder(const std::optional<QString> &commandLine,
                                  const QString &programFolder, const QString &environment,
                                  const std::function<QString()> &savedFolder)
{
    if (commandLine)
        return found(ServerFolderSource::CommandLine, *commandLine);
    if (holdsAccountFile(programFolder))
        return found(ServerFolderSource::ProgramFolder, programFolder);
    if (!environment.isEmpty())
        return found(ServerFolderSource::Environment, environment);
    if (savedFolder) {
        const QString saved = savedFolder();
        if (holdsAccountFile(saved))
            return found(ServerFolderSource::SavedChoice, saved);
    }
    return {};
}

QString missingServerPart(const QString &folder)
{
    const QDir dir(folder);
    for (const char *part : {"kData", "kData/kPlayer"}) {
        if (!QFileInfo(dir.filePath(QLatin1String(part))).isDir())
            return QLatin1String(part);
    }
    const QString accountFile = QStringLiteral("kData/kPlayer/kAdd.txt");
    return QFileInfo(dir.filePath(accountFile)).isFile() ? QString() : accountFile;
}
