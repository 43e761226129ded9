#include "core/internal/fs/FileExchange.h"

#include "core/internal/fs/CheckedFile.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>

Failure exchangeFiles(const QString &a, const QString &b)
{
#ifdef RENAME_EXCHANGE
    if (::renameat2(AT_FDCWD, QFile::encodeName(a).constData(), AT_FDCWD,
                    QFile::encodeName(b).constData(), RENAME_EXCHANGE) == 0)
        return {};
    // Linux before 3.15, and file systems that do not implement it (some network ones).
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP && errno != ENOTSUP)
        return lastSystemFailure();
#else
    Q_UNUSED(a);
    Q_UNUSED(b);
#endif
    return FailureReason(QStringLiteral("the system cannot exchange two files"),
                         FailureReason::Unsupported);
}
