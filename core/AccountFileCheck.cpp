#include "core/AccountFileCheck.h"

#include "core/AccountRecord.h"
#include "core/AccountTable.h"
#include "core/UsernameKey.h"

#include <QHash>

#include <algorithm>

QByteArray accountKey(QByteArrayView line)
{
    // Nearly every line is plain ASCII, whose key is its bytes folded one by one.
    if (const std::optional<PlainRecord> plain = parsePlainRecord(line)) {
        QByteArray key(plain->username.data(), plain->username.size());
        std::transform(key.begin(), key.end(), key.begin(), asciiFold);
        return key;
    }
    const AccountRecord record = parseRecord(line);
    if (!record.malformed.isEmpty())
        return {};
    return caseInsensitiveKey(record.username).toUtf8();
}

QList<AccountFileFault> findFaults(const AccountTable &table, KeepLine keep)
{
    QList<AccountFileFault> faults;
    // Each name's lines, in the order its first line comes.
    QHash<QByteArray, qsizetype> groupOfKey;
    QList<QList<qsizetype>> groups;
    for (qsizetype i = 0; i < table.lineCount(); ++i) {
        const QByteArrayView line = table.line(i);
        if (table.isMalformed(i)) {
            faults.append({int(i + 1), line.toByteArray(), AccountFileFault::Malformed, 0,
                           table.record(i).malformed});
            continue;
        }
        const QByteArray key = accountKey(line);
        const auto found = groupOfKey.constFind(key);
        if (found == groupOfKey.cend()) {
            groupOfKey.insert(key, groups.size());
            groups.append(QList<qsizetype>{i});
        } else {
            groups[*found].append(i);
        }
    }
    for (const QList<qsizetype> &lines : std::as_const(groups)) {
        if (lines.size() < 2)
            continue;
        const qsizetype kept = keep == KeepLine::First ? lines.first() : lines.last();
        for (const qsizetype i : lines) {
            if (i != kept)
                faults.append({int(i + 1), table.line(i).toByteArray(), AccountFileFault::NameTwice,
                               int(kept + 1),
                               QStringLiteral("the account %1 is also on line %2")
                                   .arg(table.record(i).username)
                                   .arg(kept + 1)});
        }
    }
    std::sort(faults.begin(), faults.end(),
              [](const AccountFileFault &a, const AccountFileFault &b) {
                  return a.lineNumber < b.lineNumber;
              });
    return faults;
}
