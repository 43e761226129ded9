#include "core/internal/AccountBackup.h"

#include "core/internal/fs/CheckedFile.h"
#include "core/internal/fs/FileOperationHooks.h"

#include <QDir>
#include <QFileInfo>

#include <optional>

AccountBackup::AccountBackup(AccountFileUpdate &update)
    : m_update(update), m_backup(update.realPath() + QStringLiteral(".bak"))
{}

AccountBackup::~AccountBackup()
{
    if (!m_pending.isEmpty())
        removeFile(m_pending);
}

Failure AccountBackup::prepare()
{
    const QString part = m_backup + QStringLiteral(".new");
    if (QFileInfo(m_backup).isDir() && !QFileInfo(m_backup).isSymLink())
        return QStringLiteral("%1 is a folder").arg(QDir::toNativeSeparators(m_backup));
    if (Failure failure = removeFile(part))
        return failure->within(QStringLiteral("the old file %1 could not be removed: %2"),
                               QDir::toNativeSeparators(part));
    // Both the link and the copy take the file as it is now: it must still be the one read.
    if (Failure failure = m_update.confirmSourceUnchanged())
        return failure;
    m_pending = part;
    if (FileOperationHooks::current().hardLinksAllowed() && makeHardLink(m_update.realPath(), part))
        return m_update.rememberSourceState();
    return copyInto(part);
}

Failure AccountBackup::copyInto(const QString &partPath)
{
    CheckedFile source(m_update.realPath());
    if (Failure failure = source.openForReading())
        return failure->within(QStringLiteral("it could not be opened for the backup: %1"));
    const Result<qint64> size = source.size();
    if (!size)
        return size.failure()->within(QStringLiteral("reading it for the backup failed: %1"));
    CheckedFile part(partPath);
    Failure failure = part.createPrivate();
    if (!failure)
        failure = part.copyFrom(source, *size);
    if (!failure)
        failure = part.copyAccessFrom(m_update.source());
    if (!failure)
        failure = part.syncToDisk();
    if (!failure)
        failure = part.close();
    if (failure)
        return failure->within(QStringLiteral("writing the backup %1 failed: %2"),
                               QDir::toNativeSeparators(part.path()));
    return {};
}

// The change is in place by now: a failure here leaves the file as it was before the change in
// .bak.new, and says so.
Failure AccountBackup::keep()
{
    const QString part = m_pending;
    m_pending.clear(); // from here on it is the only copy of the file before the change
    if (Failure failure = renameFile(part, m_backup))
        return QStringLiteral("the backup %1 could not take the place of %2: %3; the file as it "
                              "was before the change is kept as %1")
            .arg(QDir::toNativeSeparators(part), QDir::toNativeSeparators(m_backup), *failure);
    const QString folder = QFileInfo(m_backup).absolutePath();
    if (Failure failure = syncFolder(folder))
        return failure->within(
            QStringLiteral("flushing the folder %1 to the disk after the backup failed: %2"),
            QDir::toNativeSeparators(folder));
    return {};
}

Failure commitWithBackup(AccountFileUpdate &update, bool backup)
{
    std::optional<AccountBackup> kept;
    Failure failure;
    if (backup) {
        kept.emplace(update);
        failure = kept->prepare();
    }
    if (!failure)
        failure = update.commit();
    if (kept && update.changedFile()) {
        if (Failure notKept = kept->keep(); !failure)
            failure = notKept;
    }
    return failure;
}
