#pragma once

#include "core/AccountRecord.h"

#include <QString>

#include <functional>

// A username pattern: '*' stands for any run of characters and '?' for one, letter case is
// ignored and every other character stands for itself. An empty pattern matches every name.
class NamePattern
{
public:
    explicit NamePattern(const QString &pattern);
    bool matches(const QString &username) const;

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
