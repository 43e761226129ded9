#include "core/internal/ServerFolderOrigin.h"

#include <QDir>
#include <QFileInfo>

#include <atomic>

namespace {

std::atomic<ServerFolderDescriber> describer{nullptr};

} // namespace

void setServerFolderDescriber(ServerFolderDescriber describe)
{
    describer = describe;
}

QString serverFolderOrigin(const QString &accountPath)
{
    if (const ServerFolderDescriber describe = describer)
        return describe(accountPath);
    return serverFolderLookedIn(accountPath);
}

QString serverFolderLookedIn(const QString &accountPath)
{
    const QString server = QDir::cleanPath(
        QFileInfo(accountPath).absoluteDir().absoluteFilePath(QStringLiteral("../..")));
    return QStringLiteral("the server folder looked in is %1")
        .arg(QDir::toNativeSeparators(server));
}
