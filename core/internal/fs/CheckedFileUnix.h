#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <sys/types.h>

// What the Unix files of the checked file operations share: the descriptor I/O, the access
// rights and the link rule.
namespace CheckedFileUnix {

inline QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

// A user as the operator knows it: its name and id, or the id alone where no name is known.
QString userName(uid_t uid);

} // namespace CheckedFileUnix
