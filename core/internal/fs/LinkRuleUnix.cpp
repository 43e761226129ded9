#include "core/internal/fs/CheckedFile.h"

#include "core/internal/fs/CheckedFileUnix.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

using CheckedFileUnix::nativePath;
using CheckedFileUnix::userName;

namespace {

// Where a link leads, one step, as an absolute path.
QString linkTarget(const QString &link)
{
    QByteArray target(4096, Qt::Uninitialized);
    const ssize_t length = ::readlink(nativePath(link).constData(), target.data(), target.size());
    if (length <= 0)
        return {};
    target.truncate(length);
    return QFileInfo(QDir(QFileInfo(link).absolutePath()), QFile::decodeName(target))
        .absoluteFilePath();
}

} // namespace

// Every link on the way is looked at, a link to a link included.
Failure linkMayBeFollowed(const QString &path)
{
    struct stat target;
    if (::stat(nativePath(path).constData(), &target) != 0)
        return std::nullopt; // nothing to follow; what is missing is told elsewhere
    QString hop = path;
    for (int depth = 0; depth < 40; ++depth) {
        struct stat link;
        if (::lstat(nativePath(hop).constData(), &link) != 0 || !S_ISLNK(link.st_mode))
            return std::nullopt;
        if (link.st_uid != ::geteuid() && link.st_uid != 0 && link.st_uid != target.st_uid) {
            return QStringLiteral("the symbolic link %1 belongs to %2 and leads to %3, a file of "
                                  "%4, which %2 may not change; such a link is not followed")
                .arg(hop, userName(link.st_uid), QFileInfo(path).canonicalFilePath(),
                     userName(target.st_uid));
        }
        hop = linkTarget(hop);
    }
    return std::nullopt;
}
