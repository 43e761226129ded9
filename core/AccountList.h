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

// The same, with every plain record of printable ASCII handed to visitPlain instead, as the
// line's bytes (valid during the visit only): a listing of a million accounts then builds no text
// for them, and shows them as they are, without escaping. Every other line goes to visitRecord
// as parseRecord() reads it.
ListResult
ListAccounts(const QString &applicationFolder, const NamePattern &pattern,
             const std::function<void(int lineNumber, const PlainRecord &)> &visitPlain,
             const std::function<void(int lineNumber, const AccountRecord &)> &visitRecord);
