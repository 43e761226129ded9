#pragma once

#include "core/internal/format/RecordFields.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

// A line read as a record. A line that is not a well-formed record keeps what could be read of
// it, and says why.
struct AccountRecord
{
    QString username; // the name field, even of a line that is not well formed
    QString password;
    bool male = true;
    QString email;
    qint32 gmFlags = 0;
    QString malformed; // empty for a well-formed record, otherwise the reason
};

AccountRecord parseRecord(QByteArrayView line);

// A well-formed record of ASCII bytes alone, as views of its line: nearly every line of a real
// file. parseRecord() would read it to the same values, so it can be looked at, shown and
// compared without decoding. The views are valid as long as the line is.
struct PlainRecord
{
    QByteArrayView username;
    QByteArrayView password;
    bool male = true;
    QByteArrayView email;
    qint32 gmFlags = 0;
};

// The line as a plain record, or nothing when parseRecord() must read it: a byte outside ASCII,
// or a line that is not a well-formed record (whose reason parseRecord() words).
std::optional<PlainRecord> parsePlainRecord(QByteArrayView line);

// The line with the given fields replaced by new values in the system's code page; every other
// byte stays as it was. The line must hold the five fields.
struct FieldValue
{
    RecordField field;
    QString text;
};
QByteArray replaceFields(QByteArrayView line, const QList<FieldValue> &values);
