#include "core/internal/AccountFileUpdate.h"

#include "core/internal/ServerFolderOrigin.h"
#include "core/internal/fs/AccessDenial.h"
#include "core/internal/fs/SignalCleanup.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString nativeName(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// A missing account file means the server folder is not the one meant, so the reason says how
// it was found; the file is never created here.
QString missingFileReason(const QFileInfo &info)
{
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir())
        return QStringLiteral("the folder %1 does not exist (%2)")
            .arg(nativeName(folder.absoluteFilePath()), serverFolderOrigin(info.filePath()));
    if (info.isDir())
        return QStringLiteral("it is a folder, not a file");
    if (info.exists())
        return QStringLiteral("it is not a regular file");
    return QStringLiteral("the file does not exist (%1)").arg(serverFolderOrigin(info.filePath()));
}

// A refusal of the system names the file or folder that refused and who may pass, where it can be
// told; for a new file, the folder that refuses it.
FailureReason explainRefusal(const FailureReason &failure, const QString &path, bool forWriting)
{
    if (failure.kind != FailureReason::AccessRefused)
        return failure;
    QString reason = refusedAccessReason(path, forWriting);
    if (reason.isEmpty() && forWriting && !QFileInfo::exists(path))
        reason = refusedAccessReason(QFileInfo(path).absolutePath(), true);
    return reason.isEmpty() ? failure : FailureReason(reason, failure.kind);
}

QString installFailure(const QString &target, const QString &reason)
{
    const QString folder = QFileInfo(target).absolutePath();
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("the folder %1 was moved or removed during the update")
            .arg(nativeName(folder));
    return QStringLiteral("putting the new file in place failed: %1").arg(reason);
}

} // namespace

QString fileErrorText(const QString &accountPath, const QString &reason, bool fileChanged)
{
    if (fileChanged)
        return QStringLiteral("The account file was changed, but the last step of the update "
                              "failed.\n\nFile: %1\nReason: %2\n\nThe change is in the account "
                              "file.")
            .arg(nativeName(accountPath), reason);
    return QStringLiteral("The account file could not be updated.\n\n"
                          "File: %1\nReason: %2\n\nThe account file was not changed.")
        .arg(nativeName(accountPath), reason);
}

QString fileReadErrorText(const QString &accountPath, const QString &reason)
{
    return QStringLiteral("The account file could not be read.\n\nFile: %1\nReason: %2")
        .arg(nativeName(accountPath), reason);
}

// The system reports no current folder at all when the working folder was removed, and a path
// built from that would point into the root folder instead.
QString tempFilePath()
{
    const QString folder = QDir::currentPath();
    if (folder.isEmpty())
        return {};
    return QDir(folder).absoluteFilePath(QString::fromLatin1(tempFileName));
}

Failure takeLock(UpdateLock &lock, const QString &busyReason)
{
    const Failure failure = lock.acquire();
    if (!failure)
        return {};
    if (failure->kind == FailureReason::Busy)
        return FailureReason(busyReason, FailureReason::Busy);
    return explainRefusal(*failure, lock.path(), true)
        .within(QStringLiteral("the lock file %1 could not be made: %2"), nativeName(lock.path()));
}

AccountFileUpdate::AccountFileUpdate(const QString &accountPath) : m_accountPath(accountPath) {}

AccountFileUpdate::~AccountFileUpdate()
{
    m_copy.reset();
    m_source.reset();
    removeLeftovers();
}

void AccountFileUpdate::removeLeftovers()
{
    m_leftovers.removeFiles();
}

// Through a symbolic link the file it points to is locked and replaced, and the link stays a
// link: two server folders linked to one file must share one lock. The lock is held from before
// the file is read until after the new one is in place, so two copies of the tool can never
// both change the same old file.
Failure AccountFileUpdate::open(Locking locking)
{
    const QString folder = QFileInfo(m_accountPath).absolutePath();
    for (const QString &path : {QFileInfo(folder).absolutePath(), folder, m_accountPath}) {
        if (Failure failure = linkMayBeFollowed(path))
            return failure;
    }
    const QFileInfo info(m_accountPath);
    if (info.isFile())
        m_target = info.canonicalFilePath();
    if (m_target.isEmpty()) {
        const QString unreachable = unreachableReason(m_accountPath);
        if (!unreachable.isEmpty())
            return FailureReason(unreachable, FailureReason::AccessRefused);
        return missingFileReason(info);
    }
    if (locking == Locking::Exclusive) {
        m_accountLock.emplace(m_target + QStringLiteral(".lock"));
        if (Failure failure = takeLock(
                *m_accountLock, QStringLiteral("the account file is in use by another program")))
            return failure;
    }
    m_source.emplace(m_target);
    Failure failure = m_source->openForReading();
    if (failure)
        failure = explainRefusal(*failure, m_target, false);
    else
        failure = rememberSourceState();
    if (failure)
        return failure->within(QStringLiteral("it could not be opened: %1"));
    if (locking == Locking::Exclusive)
        return checkSource();
    return {};
}

// What would make the rename at the end fail, or leave the file split, is found before anything
// is written.
Failure AccountFileUpdate::checkSource()
{
    const QString unchangeable = m_source->unchangeableReason();
    if (!unchangeable.isEmpty())
        return unchangeable;
    // Names of the update's own that an update stopped midway may have left linked to the file
    // hold no one's accounts: whatever lies there is replaced or removed.
    quint64 ownNames = 0;
    for (const QString &leftover : {tempFilePath(), m_target + QStringLiteral(".new"),
                                    m_target + QStringLiteral(".bak.new")}) {
        if (leftover.isEmpty())
            continue;
        const Result<FileState> state = fileStateAt(leftover);
        if (state && state->identity == m_read.identity)
            ++ownNames;
    }
    if (m_read.links <= 1 + ownNames)
        return {};
    return QStringLiteral("it has %1 names (hard links), and only this one would get the new "
                          "file; link the server folders to one account file with a symbolic "
                          "link instead")
        .arg(m_read.links);
}

Failure AccountFileUpdate::rememberSourceState()
{
    const Result<FileState> state = m_source->state();
    if (!state)
        return state.failure()->within(QStringLiteral("reading it failed: %1"));
    m_read = *state;
    return {};
}

// A program that does not take the lock (a game server appending, an editor saving by rename)
// may have written the file since it was read; renaming the copy over it would undo that.
Failure AccountFileUpdate::confirmSourceUnchanged()
{
    const Result<FileState> now = fileStateAt(m_target);
    if (!now)
        return now.failure()->within(QStringLiteral("it could not be looked at once more: %1"));
    if (!now->sameAs(m_read))
        return foreignChangeFound(
            QStringLiteral("another program changed it while it was being updated"));
    if (m_accountLock && !m_accountLock->stillHeld())
        return lockLost();
    return {};
}

// Someone removed the lock file by hand: another update may be writing the file too.
Failure AccountFileUpdate::lockLost()
{
    return foreignChangeFound(QStringLiteral("its lock file %1 was removed while this update "
                                             "held it, and another update may have begun")
                                  .arg(nativeName(m_accountLock->path())));
}

Failure AccountFileUpdate::foreignChangeFound(const QString &reason)
{
    m_foreignChange = reason;
    return reason;
}

// kAdd.tmp lies in the working folder, which copies of the tool working on other account files
// and other users may share: it gets a lock of its own and is always a file made afresh.
Failure AccountFileUpdate::createCopy()
{
    const QString tempPath = tempFilePath();
    if (tempPath.isEmpty())
        return QStringLiteral("the working folder, where the temporary file %1 is made, no "
                              "longer exists")
            .arg(QString::fromLatin1(tempFileName));
    // A copy on another file system than the account file would have to be copied once more to
    // be renamed into place, and could share no blocks with it: it is made beside the account
    // file instead, where the account file's lock covers it.
    const QString beside = m_target + QStringLiteral(".new");
    if (m_accountLock &&
        !mayShareFileSystem(QFileInfo(tempPath).absolutePath(), QFileInfo(m_target).absolutePath()))
        return createCopyAt(beside);
    Failure failure = createCopyInWorkingFolder(tempPath);
    // A working folder that refuses the copy (read-only, or shared and holding another user's
    // kAdd.tmp) is no reason to fail: beside the account file, under its lock, it is as safe.
    if (failure && failure->kind == FailureReason::AccessRefused && m_accountLock) {
        m_leftovers.removeAll(tempPath); // what is in the way there is not ours
        m_copy.reset();
        m_tempLock.reset();
        return createCopyAt(beside);
    }
    return failure;
}

Failure AccountFileUpdate::createCopyInWorkingFolder(const QString &tempPath)
{
    m_tempLock.emplace(tempPath + QStringLiteral(".lock"));
    if (Failure failure = takeLock(
            *m_tempLock, QStringLiteral("the temporary file %1 is in use by another program")
                             .arg(nativeName(tempPath))))
        return failure;
    return createCopyAt(tempPath);
}

Failure AccountFileUpdate::createCopyAt(const QString &path)
{
    // Listed first: a file made here and then found wrong goes too.
    m_leftovers.append(path);
    m_copy = std::make_unique<CheckedFile>(path);
    if (Failure failure = m_copy->createPrivate())
        return failure->within(QStringLiteral("the temporary file %1 could not be created: %2"),
                               nativeName(path));
    m_leftovers.claim(path);
    return {};
}

FailureReason AccountFileUpdate::copyFailure(const FailureReason &failure) const
{
    return failure.within(QStringLiteral("writing the temporary file %1 failed: %2"),
                          nativeName(m_copy->path()));
}

Result<qint64> AccountFileUpdate::sourceSize()
{
    const Result<qint64> size = m_source->size();
    if (!size)
        return readFailure(*size.failure());
    return size;
}

FailureReason readFailure(const FailureReason &failure)
{
    return failure.within(QStringLiteral("reading it failed: %1"));
}

Failure AccountFileUpdate::copySourceRange(qint64 offset, qint64 length)
{
    if (length == 0)
        return {};
    if (Failure failure = m_copy->copyFrom(*m_source, length, offset))
        return copyFailure(*failure);
    return {};
}

// The copy gets the account file's access rights, and a failed close of the account file is a
// failed operation like any other: refuse while the old file is still untouched rather than
// report success. Once the new file is in place, only its folder is left to flush.
Failure AccountFileUpdate::commit()
{
    if (Failure failure = moveCopyBesideTarget())
        return failure;
    if (Failure failure = m_copy->copyAccessFrom(*m_source))
        return failure->within(QStringLiteral("the new file could not be given the account "
                                              "file's owner and access rights: %1"));
    if (Failure failure = m_copy->syncToDisk())
        return copyFailure(*failure);
    if (Failure failure = confirmSourceUnchanged())
        return failure;
    if (Failure failure = m_source->close())
        return failure->within(QStringLiteral("reading it failed: %1"));
    SignalCleanup::holdUntilReported();
    if (Failure failure = installCopy())
        return failure;
    m_installed = true;
    const QString folder = QFileInfo(m_target).absolutePath();
    if (Failure failure = syncFolder(folder))
        return failure->within(QStringLiteral("flushing the folder %1 to the disk failed: %2; "
                                              "should the system stop before it writes the "
                                              "folder, the change may be lost"),
                               nativeName(folder));
    return {};
}

// Only beside the account file may the copy get its access rights: in the working folder a copy
// that others may read would give away every password, and one in a folder that others may
// write to could be swapped for their own file before the rename. The account file's folder is
// as safe as the account file itself.
Failure AccountFileUpdate::moveCopyBesideTarget()
{
    const QString beside = m_target + QStringLiteral(".new");
    const QString oldPath = m_copy->path();
    if (QFileInfo(oldPath).absolutePath() == QFileInfo(m_target).absolutePath())
        return {};
    // Nobody else may use this name while the account file's lock is held.
    m_leftovers.claim(beside);
    const Failure failure = m_copy->moveTo(beside);
    if (!failure) {
        m_leftovers.removeAll(oldPath);
        return {};
    }
    if (failure->kind == FailureReason::Unsupported)
        return copyFromAnotherFileSystem(beside);
    const QString workingFolder = QFileInfo(oldPath).absolutePath();
    if (!QFileInfo(workingFolder).isDir())
        return QStringLiteral("the working folder %1, where the temporary file was made, was "
                              "removed during the update")
            .arg(nativeName(workingFolder));
    if (m_accountLock && !m_accountLock->stillHeld())
        return lockLost();
    return failure->within(
        QStringLiteral("moving the temporary file %1 beside the account file failed: %2"),
        nativeName(oldPath));
}

// One rename puts the whole new file where the old one was.
Failure AccountFileUpdate::installCopy()
{
    if (Failure failure = m_copy->close())
        return copyFailure(*failure);
    if (Failure failure = m_copy->replace(m_target))
        return installFailure(m_target, *failure);
    m_leftovers.removeAll(m_copy->path());
    return {};
}

// kAdd.tmp on another file system than it seemed (a bind mount) cannot be renamed beside the
// account file: it is copied into a fresh file there, which takes its place as the copy.
Failure AccountFileUpdate::copyFromAnotherFileSystem(const QString &besidePath)
{
    auto beside = std::make_unique<CheckedFile>(besidePath);
    CheckedFile &copy = *m_copy;
    const auto readFailure = [&](const FailureReason &failure) {
        return failure.within(QStringLiteral("reading %1 failed: %2"), nativeName(copy.path()));
    };
    if (Failure failure = beside->createPrivate())
        return failure->within(QStringLiteral("%1 could not be created: %2"),
                               nativeName(beside->path()));
    Failure failure = copy.close();
    if (!failure)
        failure = copy.reopenForReading();
    if (failure)
        return readFailure(*failure);
    const Result<qint64> size = copy.size();
    if (!size)
        return readFailure(*size.failure());
    if ((failure = beside->copyFrom(copy, *size)))
        return failure->within(QStringLiteral("writing %1 failed: %2"), nativeName(beside->path()));
    m_copy = std::move(beside);
    return {};
}
