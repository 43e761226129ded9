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
    QString ignored;
    if (!m_pending.isEmpty())
        removeFile(m_pending, ignored);
}

Failure AccountBackup::prepare()
{
    const QString part = m_backup + QStringLiteral(".new");
    QString reason;
    if (QFileInfo(m_backup).isDir() && !QFileInfo(m_backup).isSymLink())
        return QStringLiteral("%1 is a folder").arg(QDir::toNativeSeparators(m_backup));
    if (!removeFile(part, reason))
        return QStringLiteral("the old file %1 could not be removed: %2")
            .arg(QDir::toNativeSeparators(part), reason);
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
    if (!source.openForReading())
        return QStringLiteral("it could not be opened for the backup: %1").arg(source.errorText());
    CheckedFile part(partPath);
    const auto writeFailure = [&] {
        return QStringLiteral("writing the backup %1 failed: %2")
            .arg(QDir::toNativeSeparators(part.path()), part.errorText());
    };
    const qint64 size = source.size();
    if (size < 0)
        return QStringLiteral("reading it for the backup failed: %1").arg(source.errorText());
    if (!part.createPrivate() || !part.copyFrom(source, size))
        return writeFailure();
    if (!part.copyAccessFrom(m_update.source()) || !part.syncToDisk() || !part.close())
        return writeFailure();
    return {};
}

// The change is in place by now: a failure here leaves the file as it was before the change in
// .bak.new, and says so.
Failure AccountBackup::keep()
{
    const QString part = m_pending;
    QString reason;
    m_pending.clear(); // from here on it is the only copy of the file before the change
    if (!renameFile(part, m_backup, reason))
        return QStringLiteral("the backup %1 could not take the place of %2: %3; the file as it "
                              "was before the change is kept as %1")
            .arg(QDir::toNativeSeparators(part), QDir::toNativeSeparators(m_backup), reason);
    const QString folder = QFileInfo(m_backup).absolutePath();
    if (!syncFolder(folder, reason))
        return QStringLiteral("flushing the folder %1 to the disk after the backup failed: %2")
            .arg(QDir::toNativeSeparators(folder), reason);
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
