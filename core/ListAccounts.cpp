#include "core/ListAccounts.h"

#include "core/AccountFile.h"
#include "core/internal/AccountFileUpdate.h"
#include "core/internal/scan/AccountLineReader.h"

#include <algorithm>

namespace {

// Shown as it is: no control character may reach the terminal unescaped.
bool isPrintable(QByteArrayView line)
{
    return std::all_of(line.cbegin(), line.cend(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

} // namespace

ListResult ListAccounts(const QString &applicationFolder, const AccountPattern &pattern,
                        const std::function<void(int, const PlainRecord &)> &visitPlain,
                        const std::function<void(int, const AccountRecord &)> &visitRecord)
{
    const QString accountPath = accountFilePath(applicationFolder);
    ListResult result;
    // Without a lock: the file is replaced only by a rename, so the open file is one whole
    // version of it from start to end.
    AccountFileUpdate update(accountPath);
    if (Failure failure = update.open(AccountFileUpdate::Locking::None)) {
        result.errorText = fileReadErrorText(accountPath, *failure);
        return result;
    }
    AccountLineReader reader(update.source());
    QByteArrayView line;
    const bool everything = pattern.matchesEverything();
    while (reader.next(line)) {
        if (const std::optional<PlainRecord> plain = parsePlainRecord(line);
            plain && isPrintable(line)) {
            if (everything || pattern.matchesAscii(plain->username) ||
                pattern.matchesAscii(plain->email))
                visitPlain(reader.lineNumber(), *plain);
            continue;
        }
        const AccountRecord record = parseRecord(line);
        if (everything || pattern.matches(record.username) || pattern.matches(record.email))
            visitRecord(reader.lineNumber(), record);
    }
    if (reader.failed()) {
        result.errorText = fileReadErrorText(accountPath, reader.errorText());
        return result;
    }
    result.outcome = ReadOutcome::Done;
    return result;
}

ListResult ListAccounts(const QString &applicationFolder, const AccountPattern &pattern,
                        const std::function<void(int, const AccountRecord &)> &visit)
{
    const auto visitPlain = [&](int lineNumber, const PlainRecord &plain) {
        AccountRecord record;
        record.username = QString::fromLatin1(plain.username);
        record.password = QString::fromLatin1(plain.password);
        record.male = plain.male;
        record.email = QString::fromLatin1(plain.email);
        record.gmFlags = plain.gmFlags;
        visit(lineNumber, record);
    };
    return ListAccounts(applicationFolder, pattern, visitPlain, visit);
}
