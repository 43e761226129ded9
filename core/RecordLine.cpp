#include "RecordLine.h"

QString BuildRecordLine(const QString &username, const QString &password, qint16 gender,
                        const QString &email, qint32 gmFlags)
{
    const QChar comma = u',';
    return username + comma + password + comma + QString::number(gender) + comma + email + comma +
           QString::number(gmFlags);
}
