#include "AccountFile.h"

#include "AccountFileScanner.h"
#include "CheckedFile.h"
#include "EntryValidation.h"
#include "FaultInjection.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QThread>

#include <memory>

namespace {

constexpr qint64 chunkSize = 256 * 1024;

QString fileErrorText(const QString &accountPath, const QString &reason)
{
    return QStringLiteral("The account file could not be updated.\n\n"
                          "File: %1\nReason: %2\n\nThe account file was not changed.")
        .arg(QDir::toNativeSeparators(accountPath), reason);
}

QString nativeName(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// busy: the reason when another program holds the lock.
QString lockFailure(const QLockFile &lock, const QString &lockPath, const QString &busy)
{
    switch (lock.error()) {
    case QLockFile::LockFailedError:
        return busy;
    case QLockFile::PermissionError:
        return QStringLiteral("the lock file %1 could not be created").arg(nativeName(lockPath));
    default:
        return QStringLiteral("the lock file %1 could not be taken").arg(nativeName(lockPath));
    }
}

// Waits a few seconds at most. QLockFile's own wait doubles its pause between tries, so under
// steady contention a waiter keeps missing the short moments the lock is free; short random
// pauses keep the copies of the tool taking turns. A lock is taken over only when the process
// that held it is gone: an update of a huge file may take long.
bool takeLock(QLockFile &lock)
{
    lock.setStaleLockTime(0);
    const QDeadlineTimer deadline(FaultInjection::lockWait());
    for (;;) {
        if (lock.tryLock(0))
            return true;
        if (lock.error() != QLockFile::LockFailedError || deadline.hasExpired())
            return false;
        QThread::msleep(5 + QRandomGenerator::global()->bounded(20));
    }
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

struct Update
{
    QString accountPath;
    QList<QString> usernames;
    QByteArray newRecords; // encoded, each with its CR LF
    AccountFileScanner::Stop stop;
    bool write;
};

struct UpdateFailure
{
    QString reason;
};

// Copies from into a fresh file at to, which ends up with target's access rights.
bool copyFile(const QString &from, const QString &to, const QString &target, QString &reason)
{
    CheckedFile source(from);
    CheckedFile copy(to);
    if (!source.openForReading()) {
        reason = QStringLiteral("reading %1 failed: %2").arg(nativeName(from), source.errorText());
        return false;
    }
    if (!copy.createForWriting()) {
        reason =
            QStringLiteral("%1 could not be created: %2").arg(nativeName(to), copy.errorText());
        return false;
    }
    QByteArray buffer(chunkSize, Qt::Uninitialized);
    for (;;) {
        const qint64 got = source.read(buffer.data(), buffer.size());
        if (got < 0) {
            reason =
                QStringLiteral("reading %1 failed: %2").arg(nativeName(from), source.errorText());
            return false;
        }
        if (got == 0)
            break;
        if (!copy.write(QByteArrayView(buffer.constData(), got))) {
            reason = QStringLiteral("writing %1 failed: %2").arg(nativeName(to), copy.errorText());
            return false;
        }
    }
    if (!copy.copyAccessFrom(target) || !copy.syncToDisk() || !copy.close()) {
        reason = QStringLiteral("writing %1 failed: %2").arg(nativeName(to), copy.errorText());
        return false;
    }
    return true;
}

BatchResult fileError(const QString &accountPath, const QString &reason)
{
    BatchResult result;
    result.outcome = AddOutcome::FileError;
    result.errorText = fileErrorText(accountPath, reason);
    return result;
}

// Removes the files it was given when it goes out of scope, unless released.
class TemporaryFiles
{
public:
    ~TemporaryFiles()
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

BatchResult runUpdate(const Update &update)
{
    const QString &accountPath = update.accountPath;
    const QFileInfo info(accountPath);
    if (!info.isFile())
        return fileError(accountPath, missingFileReason(info));

    // Held from before the file is read until after the new one is in place, so two copies of
    // the tool can never both append on top of the same old file.
    const QString lockPath = accountPath + QStringLiteral(".lock");
    QLockFile accountLock(lockPath);
    if (update.write && !takeLock(accountLock))
        return fileError(accountPath, lockFailure(accountLock, lockPath,
                                                  QStringLiteral("the account file is in use by "
                                                                 "another program")));

    // Through a symbolic link the file it points to is replaced, and the link stays a link.
    const QString target = info.canonicalFilePath();
    if (target.isEmpty())
        return fileError(accountPath, missingFileReason(info));

    CheckedFile source(target);
    if (!source.openForReading())
        return fileError(accountPath,
                         QStringLiteral("it could not be opened: %1").arg(source.errorText()));

    AccountFileScanner scanner(update.usernames, update.stop);
    QByteArray buffer(chunkSize, Qt::Uninitialized);
    QByteArray out;
    out.reserve(chunkSize + chunkSize / 4);

    if (!update.write) {
        for (;;) {
            const qint64 got = source.read(buffer.data(), buffer.size());
            if (got < 0)
                return fileError(accountPath,
                                 QStringLiteral("reading it failed: %1").arg(source.errorText()));
            if (got == 0 || !scanner.feed(QByteArrayView(buffer.constData(), got), out))
                break;
            out.resize(0);
        }
        scanner.finish(out);
        BatchResult result;
        result.alreadyTaken = scanner.matches();
        result.outcome =
            result.alreadyTaken.isEmpty() ? AddOutcome::Created : AddOutcome::Duplicate;
        return result;
    }

    // kAdd.tmp lies in the working folder, which copies of the tool working on other account
    // files may share.
    const QString tempPath = tempFilePath();
    if (tempPath.isEmpty())
        return fileError(accountPath,
                         QStringLiteral("the working folder, where the temporary file %1 is made, "
                                        "no longer exists")
                             .arg(QString::fromLatin1(tempFileName)));
    const QString tempLockPath = tempPath + QStringLiteral(".lock");
    QLockFile tempLock(tempLockPath);
    if (!takeLock(tempLock))
        return fileError(accountPath,
                         lockFailure(tempLock, tempLockPath,
                                     QStringLiteral("the temporary file %1 is in use by another "
                                                    "program")
                                         .arg(nativeName(tempPath))));

    TemporaryFiles leftovers;
    auto temp = std::make_unique<CheckedFile>(tempPath);
    if (!temp->createForWriting())
        return fileError(accountPath,
                         QStringLiteral("the temporary file %1 could not be created: %2")
                             .arg(nativeName(tempPath), temp->errorText()));
    leftovers.add(tempPath);
    const auto writeFailure = [&] {
        return fileError(accountPath, QStringLiteral("writing the temporary file %1 failed: %2")
                                          .arg(nativeName(tempPath), temp->errorText()));
    };

    bool duplicate = false;
    for (;;) {
        const qint64 got = source.read(buffer.data(), buffer.size());
        if (got < 0)
            return fileError(accountPath,
                             QStringLiteral("reading it failed: %1").arg(source.errorText()));
        if (got == 0)
            break;
        const bool goOn = scanner.feed(QByteArrayView(buffer.constData(), got), out);
        if (!goOn) {
            duplicate = true;
            break;
        }
        if (!temp->write(out))
            return writeFailure();
        out.resize(0);
    }
    if (!duplicate)
        duplicate = !scanner.finish(out) || !scanner.matches().isEmpty();
    if (duplicate) {
        temp.reset();
        BatchResult result;
        result.outcome = AddOutcome::Duplicate;
        result.alreadyTaken = scanner.matches();
        return result; // leftovers removes kAdd.tmp while the locks are still held
    }

    out.append(update.newRecords);
    if (!temp->write(out) || !temp->copyAccessFrom(target) || !temp->syncToDisk() || !temp->close())
        return writeFailure();
    // A failed close is a failed operation on the account file like any other: refuse while the
    // old file is still untouched rather than report success.
    if (!source.close())
        return fileError(accountPath,
                         QStringLiteral("reading it failed: %1").arg(source.errorText()));
    temp.reset();

    bool crossDevice = false;
    QString reason;
    if (!replaceFile(tempPath, target, crossDevice, reason)) {
        if (!crossDevice)
            return fileError(
                accountPath,
                QStringLiteral("putting the new file in place failed: %1").arg(reason));
        // kAdd.tmp is on another file system: copy it beside the account file first, so the
        // replacement is still a single rename.
        const QString besidePath = target + QStringLiteral(".new");
        leftovers.add(besidePath);
        if (!copyFile(tempPath, besidePath, target, reason))
            return fileError(accountPath, reason);
        if (!replaceFile(besidePath, target, crossDevice, reason))
            return fileError(
                accountPath,
                QStringLiteral("putting the new file in place failed: %1").arg(reason));
        leftovers.release(besidePath);
    } else {
        leftovers.release(tempPath);
    }
    syncFolder(QFileInfo(target).absolutePath());

    BatchResult result;
    result.outcome = AddOutcome::Created;
    return result;
}

QByteArray encodeRecord(const QString &recordLine)
{
    QStringEncoder encoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder.encode(recordLine);
    bytes.append("\r\n", 2);
    return bytes;
}

} // namespace

QString accountFilePath(const QString &applicationFolder)
{
    return QDir(applicationFolder).filePath(QStringLiteral("kData/kPlayer/kAdd.txt"));
}

QString caseInsensitiveKey(const QString &username)
{
    return username.toLower();
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
    if (tempPath.isEmpty() || !QFileInfo::exists(tempPath))
        return true;
    QLockFile tempLock(tempPath + QStringLiteral(".lock"));
    if (!takeLock(tempLock))
        return false;
    QString ignored;
    return removeFile(tempPath, ignored);
}
