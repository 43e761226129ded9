#include "core/internal/fs/SharedFolder.h"

#include <QFile>

#include <sys/stat.h>

bool anyoneMayWrite(const QString &folder)
{
    struct stat status
    {};
    return ::stat(QFile::encodeName(folder).constData(), &status) == 0 &&
           (status.st_mode & S_IWOTH) != 0;
}
