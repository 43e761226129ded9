#include "core/AccountFileCheck.h"

#include "core/AccountRecord.h"
#include "core/AccountTable.h"
#include "core/UsernameKey.h"

#include <QHash>

#include <algorithm>

bool operator==(AccountNames::Key a, AccountNames::Key b)
{
    return a.bytes.size() == b.bytes.size() &&
           std::equal(a.bytes.begin(), a.bytes.end(), b.bytes.begin(),
                      [](char x, char y) { return asciiFold(x) == asciiFold(y); });
}

size_t qHash(AccountNames::Key key, size_t seed)
{
    // FNV-1a over the folded bytes: names are short, and most differ in their last digits.
    size_t hash = seed ^ 0xcbf29ce484222325u;
    for (const char c : key.bytes)
        hash = (hash ^ static_cast<unsigned char>(asciiFold(c))) * 0x100000001b3u;
    return hash;
}

qsizetype AccountNames::add(QByteArrayView line)
{
    Key key;
    if (const std::optional<PlainRecord> plain = parsePlainRecord(line)) {
        key.bytes = plain->username;
    } else {
        const AccountRecord record = parseRecord(line);
        if (!record.malformed.isEmpty())
            return -1;
        m_madeKeys.append(caseInsensitiveKey(record.username).toUtf8());
        key.bytes = m_madeKeys.constLast();
    }
    const auto found = m_numbers.constFind(key);
    if (found != m_numbers.cend())
        return *found;
    m_numbers.insert(key, m_keys.size());
    m_keys.append(key);
    return m_keys.size() - 1;
}

QList<AccountFileFault> findFaults(const AccountTable &table, KeepLine keep)
{
    // The line each account keeps: its first or its last.
    AccountNames names(table.lineCount());
    QList<qsizetype> numbers(table.lineCount());
    QList<qsizetype> kept;
    for (qsizetype i = 0; i < table.lineCount(); ++i) {
        const qsizetype number = table.isMalformed(i) ? -1 : names.add(table.line(i));
        numbers[i] = number;
        if (number == kept.size())
            kept.append(i);
        else if (number >= 0 && keep == KeepLine::Last)
            kept[number] = i;
    }
    QList<AccountFileFault> faults;
    for (qsizetype i = 0; i < table.lineCount(); ++i) {
        const qsizetype number = numbers.at(i);
        if (number < 0)
            faults.append({int(i + 1), table.line(i).toByteArray(), AccountFileFault::Malformed, 0,
                           table.record(i).malformed});
        else if (kept.at(number) != i)
            faults.append({int(i + 1), table.line(i).toByteArray(), AccountFileFault::NameTwice,
                           int(kept.at(number) + 1),
                           QStringLiteral("the account %1 is also on line %2")
                               .arg(table.record(i).username)
                               .arg(kept.at(number) + 1)});
    }
    return faults;
}
