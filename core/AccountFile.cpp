#include "AccountFile.h"

#include "AccountFileScanner.h"
#include "AccountFileUpdate.h"
#include "FaultInjection.h"
#include "RecordLine.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr qint64 chunkSize = 256 * 1024;

BatchResult fileError(const QString &accountPath, const QString &reason)
{
    BatchResult result;
    result.outcome = AddOutcome::FileError;
    result.errorText = fileErrorText(accountPath, reason);
    return result;
}

struct Update
{
    QString accountPath;
    QList<QString> usernames;
    QByteArray newRecords; // encoded, each with its CR LF
    AccountFileScanner::Stop stop;
    bool write;
};

// Streams the account file through the scanner, which stops at the first name found when asked
// to. With a copy, every line goes there as the scanner rewrites it.
Failure scanAccountFile(AccountFileUpdate &update, AccountFileScanner &scanner, bool copying)
{
    CheckedFile &source = update.source();
    QByteArray buffer(chunkSize, Qt::Uninitialized);
    QByteArray out;
    out.reserve(chunkSize + chunkSize / 4);
    for (;;) {
        const qint64 got = source.read(buffer.data(), buffer.size());
        if (got < 0)
            return QStringLiteral("reading it failed: %1").arg(source.errorText());
        if (got == 0) {
            scanner.finish(out);
            break;
        }
        if (!scanner.feed(QByteArrayView(buffer.constData(), got), out))
            return {};
        if (copying && !update.copy().write(out))
            return update.copyFailure();
        out.resize(0);
    }
    if (copying && !update.copy().write(out))
        return update.copyFailure();
    return {};
}

BatchResult scanResult(const AccountFileScanner &scanner)
{
    BatchResult result;
    result.alreadyTaken = scanner.matches();
    result.outcome = result.alreadyTaken.isEmpty() ? AddOutcome::Created : AddOutcome::Duplicate;
    return result;
}

BatchResult runUpdate(const Update &request)
{
    AccountFileUpdate update(request.accountPath);
    AccountFileScanner scanner(request.usernames, request.stop);
    const auto locking =
        request.write ? AccountFileUpdate::Locking::Exclusive : AccountFileUpdate::Locking::None;
    Failure failure = update.open(locking);
    if (!failure && request.write)
        failure = update.createCopy();
    if (!failure)
        failure = scanAccountFile(update, scanner, request.write);
    if (!failure && request.write && scanner.matches().isEmpty()) {
        if (!update.copy().write(request.newRecords))
            failure = update.copyFailure();
        else
            failure = update.commit();
    }
    if (failure)
        return fileError(request.accountPath, *failure);
    return scanResult(scanner); // a copy not committed goes with the update, under its locks
}

} // namespace

QString accountFilePath(const QString &applicationFolder)
{
    return QDir(applicationFolder).filePath(QStringLiteral("kData/kPlayer/kAdd.txt"));
}

AddAccountResult AddAccount(const QString &applicationFolder, const QString &username,
                            const QString &recordLine)
{
    const BatchResult batch = AddAccounts(applicationFolder, {{username, recordLine}});
    return {batch.outcome, batch.errorText};
}

BatchResult AddAccounts(const QString &applicationFolder, const QList<NewAccount> &accounts,
                        BatchMode mode)
{
    if (accounts.isEmpty()) {
        BatchResult nothingToDo;
        nothingToDo.outcome = AddOutcome::Created;
        return nothingToDo;
    }
    Update update;
    update.accountPath = accountFilePath(applicationFolder);
    update.stop = accounts.size() == 1 ? AccountFileScanner::Stop::AtFirstMatch
                                       : AccountFileScanner::Stop::Never;
    update.write = mode == BatchMode::Append;
    for (const NewAccount &account : accounts) {
        // A record that would not read back as written must never reach the server's file.
        if (!canBeStored(account.recordLine))
            return fileError(update.accountPath,
                             QStringLiteral("the record of %1 holds a character that cannot be "
                                            "stored")
                                 .arg(account.username));
        update.usernames.append(account.username);
        update.newRecords.append(encodeRecord(account.recordLine));
    }
    return runUpdate(update);
}

bool RemoveTempFile()
{
    const QString tempPath = tempFilePath();
    const QFileInfo info(tempPath);
    if (tempPath.isEmpty() || (!info.exists() && !info.isSymLink()))
        return true;
    UpdateLock tempLock(tempPath + QStringLiteral(".lock"));
    if (!tempLock.acquire(FaultInjection::lockWait()))
        return false;
    QString ignored;
    return removeFile(tempPath, ignored);
}
