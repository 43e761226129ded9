#pragma once

#include "core/AccountRecord.h"

#include <QByteArrayView>
#include <QString>

#include <functional>

// A username pattern: '*' stands for any run of characters and '?' for one, letter case is
// ignored and every other character stands for itself. An empty pattern matches every name.
class NamePattern
{
public:
    explicit NamePattern(const QString &pattern);
    bool matches(const QString &username) const;
    // The same for a name of plain ASCII, as the file's bytes: its key is its bytes folded one by
    // one, with nothing to decode.
    bool matches(QByteArrayView asciiName) const;

private:
    QList<uint> m_pattern; // code points, lower-cased
};

struct ListResult
{
    bool ok = false;
    QString errorText; // the account file's full path and the reason
};

// Reads the account file, without a lock, and hands every line whose name field matches the
// pattern to the visitor, in file order, with its line number. Lines that are not well-formed
// records are handed over too, marked as such.
ListResult ListAccounts(const QString &applicationFolder, const NamePattern &pattern,
                        const std::function<void(int lineNumber, const AccountRecord &)> &visit);

// A well-formed record all of whose bytes are printable ASCII, as views of its line: nearly every
// line of a real file, and one that is shown as it is, without decoding or escaping. The views
// are valid during the visit only.
struct PlainRecord
{
    QByteArrayView username;
    QByteArrayView password;
    bool male = true;
    QByteArrayView email;
    qint32 gmFlags = 0;
};

// The same, with every plain record handed to visitPlain instead, as the line's bytes: a listing
// of a million accounts then builds no text for them. Every other line goes to visitRecord as
// parseRecord() reads it.
ListResult
ListAccounts(const QString &applicationFolder, const NamePattern &pattern,
             const std::function<void(int lineNumber, const PlainRecord &)> &visitPlain,
             const std::function<void(int lineNumber, const AccountRecord &)> &visitRecord);
