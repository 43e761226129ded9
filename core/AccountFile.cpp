#include "core/AccountFile.h"

#include "core/AuditTrail.h"
#include "core/RecordEncoding.h"
#include "core/ReportScope.h"
#include "core/internal/AccountRewrite.h"
#include "core/internal/format/AccountFileFormat.h"

#include <QDir>
#include <QFileInfo>

#include <vector>

namespace {

BatchResult fileError(const QString &accountPath, const QString &reason)
{
    BatchResult result;
    result.errorText = fileErrorText(accountPath, reason);
    return result;
}

// Takes the names the scan found into the result. An all-or-none add goes on only when none was
// found; one that skips taken names goes on while any account is left to append.
void takeMatches(BatchResult &result, const UsernameScanner &scanner, bool skipTaken,
                 qsizetype accounts)
{
    if (scanner.firstMatchLine() > 0) {
        result.duplicateLine = int(scanner.firstMatchLine());
        result.duplicateName = scanner.firstMatchName();
    }
    result.alreadyTaken = scanner.matches();
    const bool goOn =
        result.alreadyTaken.isEmpty() || (skipTaken && result.alreadyTaken.size() < accounts);
    result.outcome = goOn ? AddOutcome::Created : AddOutcome::Duplicate;
}

QByteArray recordsToAppend(const QList<QByteArray> &newRecords, const QList<int> &taken)
{
    std::vector<bool> left(newRecords.size(), true);
    for (const int index : taken)
        left[index] = false;
    QByteArray records;
    for (int i = 0; i < newRecords.size(); ++i) {
        if (left[i])
            records.append(newRecords.at(i));
    }
    return records;
}

} // namespace

QString accountFilePath(const QString &applicationFolder)
{
    return QDir(applicationFolder).filePath(QStringLiteral("kData/kPlayer/kAdd.txt"));
}

AddAccountResult AddAccount(const QString &applicationFolder, const QString &username,
                            const QString &recordLine)
{
    // A batch of one, which leaves out the batch's own extras.
    return AddAccounts(applicationFolder, {{username, recordLine, {}}});
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
    RewriteRequest request;
    request.accountPath = accountPath;
    request.stop =
        accounts.size() == 1 ? UsernameScanner::Stop::AtFirstMatch : UsernameScanner::Stop::Never;
    request.write = mode != BatchMode::CheckOnly;
    request.backup = backup;
    QList<QByteArray> newRecords; // encoded, each with its CR LF
    for (const NewAccount &account : accounts) {
        // A record that would not read back as written must never reach the server's file.
        if (!canBeStored(account.recordLine))
            return fileError(accountPath,
                             QStringLiteral("the record of %1 holds a character that cannot be "
                                            "stored")
                                 .arg(account.username));
        request.names.append(account.username);
        newRecords.append(encodeRecord(account.recordLine));
    }
    BatchResult result;
    const RewriteOutcome outcome =
        rewriteAccountFile(request, [&](const RewriteSource &source, RewritePlan &plan) {
            result = {};
            takeMatches(result, source.scan, mode == BatchMode::AppendFree, accounts.size());
            plan.write = result.outcome == AddOutcome::Created;
            plan.keep(0, source.size);
            plan.add(recordsToAppend(newRecords, result.alreadyTaken));
            return Failure();
        });
    if (!outcome.failed())
        return result;
    BatchResult failed;
    failed.errorText = outcome.errorText;
    failed.fileChanged = outcome.fileChanged;
    return failed;
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
