#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// One account as the game server reads it: username,password,gender,email,gmflags
// (gender 1 male / 0 female, gmflags the GM flag total in plain decimal).
QString BuildRecordLine(const QString &username, const QString &password, qint16 gender,
                        const QString &email, qint32 gmFlags);

// True when the text holds nothing that could break a line of the account file or reach a
// terminal as a command (control characters, line and paragraph separators, byte-order marks,
// noncharacters) and survives the trip into the file's code page and back unchanged.
bool canBeStored(const QString &text);

// The line as it goes into the file: the system's code page, ended by CR LF.
QByteArray encodeRecord(const QString &recordLine);
