#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

class AccountTable;

// What keeps an account file from being sound: a line that is not a well-formed record, or a
// name that more than one well-formed line holds (compared as the duplicate check compares
// names). kadd verify reports these, kadd repair and the Accounts window remove their lines.
struct AccountFileFault
{
    enum Kind
    {
        Malformed,
        NameTwice, // otherLine holds the same name
    };

    int lineNumber = 0; // from 1
    QByteArray text;    // the line's bytes without its end
    Kind kind = Malformed;
    int otherLine = 0; // for NameTwice: the line of that name that is kept
    QString reason;    // in words: why the line is no record, or which line holds its name
};

// Which line of a name present more than once is the account: the others are the faults.
enum class KeepLine
{
    First,
    Last,
};

// The faults in file order.
QList<AccountFileFault> findFaults(const AccountTable &table, KeepLine keep = KeepLine::First);

// The duplicate check's key of the name of a well-formed record line, in UTF-8; empty for a line
// that is no well-formed record. Two lines hold the same account when their keys are equal.
QByteArray accountKey(QByteArrayView line);
