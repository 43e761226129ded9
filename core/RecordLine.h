#pragma once

#include <QString>
#include <QtGlobal>

// One account as the game server reads it: username,password,gender,email,gmflags
// (gender 1 male / 0 female, gmflags the GM flag total in plain decimal).
QString BuildRecordLine(const QString &username, const QString &password, qint16 gender,
                        const QString &email, qint32 gmFlags);
