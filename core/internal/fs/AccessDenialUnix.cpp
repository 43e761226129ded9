#include "core/internal/fs/AccessDenial.h"

#include "core/internal/fs/CheckedFileUnix.h"

#include <QDir>
#include <QStringList>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using CheckedFileUnix::loginName;
using CheckedFileUnix::nativePath;

namespace {

// A user as ls -l shows it: its name, or its id where it has none.
QString accountName(uid_t uid)
{
    const QString name = loginName(uid);
    return name.isEmpty() ? QString::number(uid) : name;
}

// The mode as the first column of ls -l shows it.
QString modeText(mode_t mode)
{
    QString text = QStringLiteral("----------");
    text[0] = S_ISDIR(mode) ? u'd' : u'-';
    const char letters[] = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit) {
        if (mode & (0400 >> bit))
            text[1 + bit] = QLatin1Char(letters[bit]);
    }
    const auto special = [&](int at, mode_t flag, char withRun, char withoutRun) {
        if (mode & flag)
            text[at] = QLatin1Char(text[at] == u'x' ? withRun : withoutRun);
    };
    special(3, S_ISUID, 's', 'S');
    special(6, S_ISGID, 's', 'S');
    special(9, S_ISVTX, 't', 'T');
    return text;
}

QString deniedReason(const QString &path, const QString &verb)
{
    struct stat info;
    if (::stat(nativePath(path).constData(), &info) != 0)
        return {};
    const QString owner = accountName(info.st_uid);
    const QString wayOut = info.st_uid == 0 ? QStringLiteral("run as root")
                                            : QStringLiteral("run as %1 or root").arg(owner);
    return QStringLiteral("permission denied: the %1 %2 (%3 %4) may not be %5 by %6; %7")
        .arg(S_ISDIR(info.st_mode) ? QStringLiteral("folder") : QStringLiteral("file"),
             QDir::toNativeSeparators(path), modeText(info.st_mode), owner, verb,
             accountName(::geteuid()), wayOut);
}

} // namespace

QString unreachableReason(const QString &path)
{
    const QStringList parts = QDir::cleanPath(QDir(path).absolutePath()).split(u'/');
    QString folder = QStringLiteral("/");
    for (qsizetype at = 1; at < parts.size(); ++at) {
        const QString next = QDir(folder).filePath(parts[at]);
        struct stat info;
        if (::stat(nativePath(next).constData(), &info) != 0)
            return errno == EACCES ? deniedReason(folder, QStringLiteral("entered")) : QString();
        folder = next;
    }
    return {};
}

// The effective user decides, as for the open that was refused.
QString refusedAccessReason(const QString &path, bool forWriting)
{
    if (::faccessat(AT_FDCWD, nativePath(path).constData(), forWriting ? W_OK : R_OK, AT_EACCESS) ==
            0 ||
        errno != EACCES)
        return {};
    return deniedReason(path, forWriting ? QStringLiteral("written") : QStringLiteral("read"));
}
