#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Writes an account file of records lines, lineOf(i) giving the i-th with its end, a megabyte
// at a time.
template <typename LineOf> bool writeAccountFile(const QString &path, qint64 records, LineOf lineOf)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray chunk;
    for (qint64 i = 0; i < records; ++i) {
        chunk += lineOf(i);
        if (chunk.size() > (1 << 20)) {
            if (file.write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    return file.write(chunk) == chunk.size() && file.flush();
}
