#include "AccountFile.h"

#include "AccountFileScanner.h"
#include "CheckedFile.h"
#include "FaultInjection.h"
#include "RecordLine.h"
#include "UpdateLock.h"

#include <QDir>
#include <QFileInfo>

#include <optional>

namespace {

constexpr qint64 chunkSize = 256 * 1024;

// Why a stage of the update failed, in plain words; no value when it went well.
using Failure = std::optional<QString>;

QString nativeName(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString fileErrorText(const QString &accountPath, const QString &reason)
{
    return QStringLiteral("The account file could not be updated.\n\n"
                          "File: %1\nReason: %2\n\nThe account file was not changed.")
        .arg(nativeName(accountPath), reason);
}

BatchResult fileError(const QString &accountPath, const QString &reason)
{
    BatchResult result;
    result.outcome = AddOutcome::FileError;
    result.errorText = fileErrorText(accountPath, reason);
    return result;
}

// A missing account file means the program is not sitting in the server's folder; it is never
// created here.
QString missingFileReason(const QFileInfo &info)
{
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir())
        return QStringLiteral("the folder %1 does not exist (the program must sit in the "
                              "server's folder, beside kData)")
            .arg(nativeName(folder.absoluteFilePath()));
    if (info.isDir())
        return QStringLiteral("it is a folder, not a file");
    return QStringLiteral("the file does not exist (the program must sit in the server's "
                          "folder, beside kData)");
}

// kAdd.tmp in the current working folder, or an empty path when that folder no longer exists:
// then the system reports no current folder at all, and a path built from it would point into
// the root folder instead.
QString tempFilePath()
{
    const QString folder = QDir::currentPath();
    if (folder.isEmpty())
        return {};
    return QDir(folder).absoluteFilePath(QString::fromLatin1(tempFileName));
}

// Removes the files it was given when it goes out of scope, unless released.
class Leftovers
{
public:
    ~Leftovers()
    {
        QString ignored;
        for (const QString &path : std::as_const(m_paths))
            removeFile(path, ignored);
    }
    void add(const QString &path) { m_paths.append(path); }
    void release(const QString &path) { m_paths.removeAll(path); }

private:
    QList<QString> m_paths;
};

struct Update
{
    QString accountPath;
    QList<QString> usernames;
    QByteArray newRecords; // encoded, each with its CR LF
    AccountFileScanner::Stop stop;
    bool write;
};

// Through a symbolic link the file it points to is locked and replaced, and the link stays a
// link: two server folders linked to one file must share one lock.
Failure resolveAccountFile(const QString &accountPath, QString &target)
{
    const QFileInfo info(accountPath);
    if (info.isFile())
        target = info.canonicalFilePath();
    if (target.isEmpty())
        return missingFileReason(info);
    return {};
}

Failure takeLock(UpdateLock &lock, const QString &busyReason)
{
    if (lock.acquire(FaultInjection::lockWait()))
        return {};
    if (lock.busy())
        return busyReason;
    return QStringLiteral("the lock file %1 could not be made: %2")
        .arg(nativeName(lock.path()), lock.errorText());
}

Failure openAccountFile(CheckedFile &source)
{
    if (source.openForReading())
        return {};
    return QStringLiteral("it could not be opened: %1").arg(source.errorText());
}

Failure writeFailure(const CheckedFile &copy)
{
    return QStringLiteral("writing the temporary file %1 failed: %2")
        .arg(nativeName(copy.path()), copy.errorText());
}

// Streams the account file through the scanner, which stops at the first name found when asked
// to. With a copy, every line goes there as the scanner rewrites it.
Failure scanAccountFile(CheckedFile &source, AccountFileScanner &scanner, CheckedFile *copy)
{
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
        if (copy && !copy->write(out))
            return writeFailure(*copy);
        out.resize(0);
    }
    if (copy && !copy->write(out))
        return writeFailure(*copy);
    return {};
}

// kAdd.tmp lies in the working folder, which copies of the tool working on other account files
// and other users may share: it gets a lock of its own and is always a file made afresh.
Failure createTempFile(CheckedFile &copy)
{
    if (copy.createPrivate())
        return {};
    return QStringLiteral("the temporary file %1 could not be created: %2")
        .arg(nativeName(copy.path()), copy.errorText());
}

// The new records, then the account file's access rights, given only now so that the copy of a
// private file is never readable by others on the way; then everything to disk.
Failure completeCopy(CheckedFile &copy, const QByteArray &newRecords, const CheckedFile &source)
{
    if (!copy.write(newRecords) || !copy.copyAccessFrom(source) || !copy.syncToDisk())
        return writeFailure(copy);
    return {};
}

QString installFailure(const QString &target, const QString &reason)
{
    const QString folder = QFileInfo(target).absolutePath();
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("the folder %1 was moved or removed during the update")
            .arg(nativeName(folder));
    return QStringLiteral("putting the new file in place failed: %1").arg(reason);
}

// kAdd.tmp on another file system cannot be renamed over the account file: it is copied into a
// fresh file beside the account file, which is then renamed.
Failure installFromAnotherFileSystem(CheckedFile &copy, const QString &target, Leftovers &leftovers)
{
    CheckedFile beside(target + QStringLiteral(".new"));
    leftovers.add(beside.path());
    const auto readFailure = [&] {
        return QStringLiteral("reading %1 failed: %2")
            .arg(nativeName(copy.path()), copy.errorText());
    };
    const auto besideFailure = [&] {
        return QStringLiteral("writing %1 failed: %2")
            .arg(nativeName(beside.path()), beside.errorText());
    };
    if (!beside.createPrivate())
        return QStringLiteral("%1 could not be created: %2")
            .arg(nativeName(beside.path()), beside.errorText());
    if (!copy.reopenForReading())
        return readFailure();
    QByteArray buffer(chunkSize, Qt::Uninitialized);
    for (;;) {
        const qint64 got = copy.read(buffer.data(), buffer.size());
        if (got < 0)
            return readFailure();
        if (got == 0)
            break;
        if (!beside.write(QByteArrayView(buffer.constData(), got)))
            return besideFailure();
    }
    if (!beside.copyAccessFrom(copy) || !beside.syncToDisk() || !beside.close())
        return besideFailure();
    bool crossDevice = false;
    if (!beside.replace(target, crossDevice))
        return installFailure(target, beside.errorText());
    leftovers.release(beside.path());
    return {};
}

// One rename puts the whole new file where the old one was.
Failure installCopy(CheckedFile &copy, const QString &target, Leftovers &leftovers)
{
    if (!copy.close())
        return writeFailure(copy);
    bool crossDevice = false;
    if (copy.replace(target, crossDevice)) {
        leftovers.release(copy.path());
        return {};
    }
    if (!crossDevice)
        return installFailure(target, copy.errorText());
    return installFromAnotherFileSystem(copy, target, leftovers);
}

BatchResult scanResult(const AccountFileScanner &scanner)
{
    BatchResult result;
    result.alreadyTaken = scanner.matches();
    result.outcome = result.alreadyTaken.isEmpty() ? AddOutcome::Created : AddOutcome::Duplicate;
    return result;
}

BatchResult checkOnly(const Update &update, const QString &target)
{
    CheckedFile source(target);
    AccountFileScanner scanner(update.usernames, update.stop);
    Failure failure = openAccountFile(source);
    if (!failure)
        failure = scanAccountFile(source, scanner, nullptr);
    if (failure)
        return fileError(update.accountPath, *failure);
    return scanResult(scanner);
}

// Held from before the file is read until after the new one is in place, so two copies of the
// tool can never both append on top of the same old file. The files below are declared after
// the locks and the leftovers, so they are closed, then removed, before the locks go.
BatchResult appendRecords(const Update &update, const QString &target)
{
    const QString &accountPath = update.accountPath;
    UpdateLock accountLock(target + QStringLiteral(".lock"));
    if (Failure failure =
            takeLock(accountLock, QStringLiteral("the account file is in use by another program")))
        return fileError(accountPath, *failure);

    const QString tempPath = tempFilePath();
    if (tempPath.isEmpty())
        return fileError(accountPath,
                         QStringLiteral("the working folder, where the temporary file %1 is made, "
                                        "no longer exists")
                             .arg(QString::fromLatin1(tempFileName)));
    UpdateLock tempLock(tempPath + QStringLiteral(".lock"));
    if (Failure failure =
            takeLock(tempLock, QStringLiteral("the temporary file %1 is in use by another program")
                                   .arg(nativeName(tempPath))))
        return fileError(accountPath, *failure);

    Leftovers leftovers;
    CheckedFile source(target);
    CheckedFile copy(tempPath);
    AccountFileScanner scanner(update.usernames, update.stop);
    Failure failure = openAccountFile(source);
    if (!failure) {
        failure = createTempFile(copy);
        if (!failure)
            leftovers.add(tempPath);
    }
    if (!failure)
        failure = scanAccountFile(source, scanner, &copy);
    if (failure)
        return fileError(accountPath, *failure);
    if (!scanner.matches().isEmpty())
        return scanResult(scanner); // kAdd.tmp goes with the leftovers, under the locks

    failure = completeCopy(copy, update.newRecords, source);
    // A failed close is a failed operation on the account file like any other: refuse while the
    // old file is still untouched rather than report success.
    if (!failure && !source.close())
        failure = QStringLiteral("reading it failed: %1").arg(source.errorText());
    if (!failure)
        failure = installCopy(copy, target, leftovers);
    if (failure)
        return fileError(accountPath, *failure);
    syncFolder(QFileInfo(target).absolutePath());
    return scanResult(scanner);
}

BatchResult runUpdate(const Update &update)
{
    QString target;
    if (Failure failure = resolveAccountFile(update.accountPath, target))
        return fileError(update.accountPath, *failure);
    return update.write ? appendRecords(update, target) : checkOnly(update, target);
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
