#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
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

// The accounts that lines name, each once, told apart as the duplicate check tells names apart.
// Fast at a million lines: a plain line's name is looked at in place, and only the other names
// get a key of their own. The lines' bytes must outlive the object.
class AccountNames
{
public:
    explicit AccountNames(qsizetype expectedLines = 0) { m_numbers.reserve(expectedLines); }

    // The number of the account that the line names, from 0 in the order the accounts first
    // come; -1 for a line that is no well-formed record.
    qsizetype add(QByteArrayView line);
    qsizetype count() const { return m_keys.size(); }
    // Whether this holds the account that other holds as number.
    bool holds(const AccountNames &other, qsizetype number) const
    {
        return m_numbers.contains(other.m_keys.at(number));
    }

    // A name's bytes, ASCII letters compared without regard to case: the name of a plain
    // record, or the duplicate check's key of any other name, folded already.
    struct Key
    {
        QByteArrayView bytes;
        friend bool operator==(Key a, Key b);
        friend size_t qHash(Key key, size_t seed);
    };

private:
    QHash<Key, qsizetype> m_numbers;
    QList<Key> m_keys;
    QList<QByteArray> m_madeKeys; // of the names that are not plain
};
