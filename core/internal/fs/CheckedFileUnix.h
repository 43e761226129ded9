#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <sys/types.h>

// What the Unix files of the checked file operations share: the descriptor I/O, the access
// rights, the link rule and the telling of a refused access.
namespace CheckedFileUnix {

inline QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

// The user's login name; empty where the system knows none.
QString loginName(uid_t uid);
// A user as the operator knows it: its name and id, or the id alone where no name is known.
QString userName(uid_t uid);

} // namespace CheckedFileUnix
