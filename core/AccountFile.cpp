#include "core/AccountFile.h"

#include "core/AuditTrail.h"
#include "core/RecordLine.h"
#include "core/ReportScope.h"
#include "core/internal/AccountBackup.h"
#include "core/internal/AccountFileUpdate.h"
#include "core/internal/format/AccountFileFormat.h"
#include "core/internal/fs/FileOperationHooks.h"
#include "core/internal/scan/AccountFileScan.h"
#include "core/internal/scan/AccountFileScanner.h"

#include <QDir>
#include <QFileInfo>

#include <vector>

namespace {

using AccountFileFormat::chunkSize;

BatchResult fileError(const QString &accountPath, const QString &reason, bool fileChanged = false)
{
    BatchResult result;
    result.outcome = AddOutcome::FileError;
    result.errorText = fileErrorText(accountPath, reason, fileChanged);
    result.fileChanged = fileChanged;
    return result;
}

struct Update
{
    QString accountPath;
    QList<QString> usernames;
    QList<QByteArray> newRecords; // encoded, each with its CR LF
    AccountFileScanner::Stop stop;
    bool write;
    bool skipTaken; // append the accounts whose name is free, not all or none
    bool backup;    // keep the previous file as <account file>.bak
};

// Streams the account file from offset on through the scanner into the copy, every line as the
// scanner rewrites it.
Failure streamAccountFile(AccountFileUpdate &update, AccountFileScanner &scanner, qint64 offset)
{
    CheckedFile &source = update.source();
    if (Failure failure = source.seek(offset))
        return readFailure(*failure);
    QByteArray buffer(chunkSize, Qt::Uninitialized);
    QByteArray out;
    out.reserve(chunkSize + chunkSize / 4);
    for (;;) {
        const Result<qint64> got = source.read(buffer.data(), buffer.size());
        if (!got)
            return readFailure(*got.failure());
        if (*got == 0) {
            scanner.finish(out);
            break;
        }
        if (!scanner.feed(QByteArrayView(buffer.constData(), *got), out))
            return {};
        if (Failure failure = update.copy().write(out))
            return update.copyFailure(*failure);
        out.resize(0);
    }
    if (Failure failure = update.copy().write(out))
        return update.copyFailure(*failure);
    return {};
}

// The bytes that need no change go into the copy without passing through here: shared with the
// account file where the file system can (the whole file only), else copied by the system.
Failure copyUnchanged(AccountFileUpdate &update, qint64 length, bool wholeFile)
{
    if (length == 0)
        return {};
    CheckedFile &copy = update.copy();
    if (wholeFile) {
        const Failure failure = copy.cloneFrom(update.source(), length);
        if (!failure)
            return {};
        if (failure->kind != FailureReason::Unsupported)
            return update.copyFailure(*failure);
    }
    return update.copySourceRange(0, length);
}

// Takes the names a scan found into the result. An all-or-none update goes on only when none
// was found; one that skips taken names goes on while any account is left to append. A scan
// that started within the file cannot number its lines.
void takeMatches(BatchResult &result, const AccountFileScanner &scanner, const Update &request,
                 bool fromFileStart = true)
{
    if (result.duplicateLine == 0 && fromFileStart && scanner.firstMatchLine() > 0) {
        result.duplicateLine = int(scanner.firstMatchLine());
        result.duplicateName = scanner.firstMatchName();
    }
    for (const int index : scanner.matches()) {
        if (!result.alreadyTaken.contains(index))
            result.alreadyTaken.append(index);
    }
    const bool goOn = result.alreadyTaken.isEmpty() ||
                      (request.skipTaken && result.alreadyTaken.size() < request.usernames.size());
    result.outcome = goOn ? AddOutcome::Created : AddOutcome::Duplicate;
}

QByteArray recordsToAppend(const Update &request, const QList<int> &taken)
{
    std::vector<bool> left(request.newRecords.size(), true);
    for (const int index : taken)
        left[index] = false;
    QByteArray records;
    for (int i = 0; i < request.newRecords.size(); ++i) {
        if (left[i])
            records.append(request.newRecords.at(i));
    }
    return records;
}

// The scan found none of the names: the copy is made from the same open file, under the same
// lock. Only the lines after the first one whose end needs rewriting are streamed (and looked up
// once more). Should the file's size differ from what was scanned (a program that ignores the
// lock wrote to it), every byte is streamed and looked up again instead.
Failure writeCopy(AccountFileUpdate &update, const Update &request, const AccountFileScanner &scan,
                  BatchResult &result)
{
    const Result<qint64> sizeNow = update.sourceSize();
    if (!sizeNow)
        return sizeNow.failure();
    const qint64 size = *sizeNow;
    const bool asScanned =
        size == scan.bytesSeen() && FileOperationHooks::current().systemCopyAllowed();
    const qint64 unchanged = asScanned ? scan.unchangedBytes() : 0;
    if (Failure failure = copyUnchanged(update, unchanged, unchanged == size))
        return failure;
    if (unchanged < size) {
        AccountFileScanner rest(scan, unchanged > 0 ? AccountFileScanner::Start::AtLineStart
                                                    : AccountFileScanner::Start::AtFileStart);
        if (Failure failure = streamAccountFile(update, rest, unchanged))
            return failure;
        takeMatches(result, rest, request, unchanged == 0);
        if (result.outcome == AddOutcome::Duplicate)
            return {}; // the copy goes with the update, under its locks
    }
    if (Failure failure = update.copy().write(recordsToAppend(request, result.alreadyTaken)))
        return update.copyFailure(*failure);
    return {};
}

// Nothing is written before the scan has found every name free: a duplicate leaves no
// temporary file behind, not even for a moment.
BatchResult updateOnce(const Update &request, Failure &foreignChange)
{
    AccountFileUpdate update(request.accountPath);
    AccountFileScanner scanner(request.usernames, request.stop);
    const auto locking =
        request.write ? AccountFileUpdate::Locking::Exclusive : AccountFileUpdate::Locking::None;
    Failure failure = update.open(locking);
    if (!failure)
        failure = scanAccountFile(update.source(), scanner);
    BatchResult result;
    takeMatches(result, scanner, request);
    if (!failure && request.write && result.outcome == AddOutcome::Created) {
        FileOperationHooks::current().afterScan();
        failure = update.createCopy();
        if (!failure)
            failure = writeCopy(update, request, scanner, result);
        if (!failure && result.outcome == AddOutcome::Created)
            failure = commitWithBackup(update, request.backup);
    }
    foreignChange = update.foreignChange();
    if (failure && !request.write) {
        BatchResult notRead;
        notRead.errorText = fileReadErrorText(request.accountPath, *failure);
        return notRead;
    }
    if (failure)
        return fileError(request.accountPath, *failure, update.changedFile());
    return result;
}

// A program that ignores the lock wrote the file meanwhile: its change is kept, and the names
// are looked up again in the file as it now is.
BatchResult runUpdate(const Update &request)
{
    for (int attempt = 1;; ++attempt) {
        Failure foreignChange;
        BatchResult result = updateOnce(request, foreignChange);
        if (!foreignChange)
            return result;
        if (attempt == updateAttempts)
            return fileError(request.accountPath, keptChangingReason(*foreignChange));
    }
}

} // namespace

QString accountFilePath(const QString &applicationFolder)
{
    return QDir(applicationFolder).filePath(QStringLiteral("kData/kPlayer/kAdd.txt"));
}

AddAccountResult AddAccount(const QString &applicationFolder, const QString &username,
                            const QString &recordLine)
{
    const BatchResult batch = AddAccounts(applicationFolder, {{username, recordLine, {}}});
    return {batch.outcome, batch.errorText, batch.fileChanged, batch.duplicateLine,
            batch.duplicateName};
}

namespace {

BatchResult addAccounts(const QString &accountPath, const QList<NewAccount> &accounts,
                        BatchMode mode, bool backup)
{
    if (accounts.isEmpty()) {
        BatchResult nothingToDo;
        nothingToDo.outcome = AddOutcome::Created;
        return nothingToDo;
    }
    Update update;
    update.accountPath = accountPath;
    update.stop = accounts.size() == 1 ? AccountFileScanner::Stop::AtFirstMatch
                                       : AccountFileScanner::Stop::Never;
    update.write = mode != BatchMode::CheckOnly;
    update.skipTaken = mode == BatchMode::AppendFree;
    update.backup = backup;
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

} // namespace

BatchResult AddAccounts(const QString &applicationFolder, const QList<NewAccount> &accounts,
                        BatchMode mode, const QString &origin, bool backup)
{
    const ReportScope scope;
    const QString accountPath = accountFilePath(applicationFolder);
    const BatchResult result = addAccounts(accountPath, accounts, mode, backup);
    if (mode != BatchMode::CheckOnly)
        auditAddition(accountPath, accounts, origin, result);
    return result;
}

bool RemoveTempFile()
{
    const QString tempPath = tempFilePath();
    const QFileInfo info(tempPath);
    if (tempPath.isEmpty() || (!info.exists() && !info.isSymLink()))
        return true;
    UpdateLock tempLock(tempPath + QStringLiteral(".lock"));
    return !tempLock.acquire() && !removeFile(tempPath);
}
