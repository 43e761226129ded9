#include "core/internal/AccountBackup.h"

#include "core/FileOperationHooks.h"
#include "core/internal/CheckedFile.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

constexpr qint64 chunkSize = 256 * 1024;

bool makeHardLink(const QString &existing, const QString &link)
{
#ifdef Q_OS_WIN
    return CreateHardLinkW(
               reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(link).utf16()),
               reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(existing).utf16()),
               nullptr) != 0;
#else
    return ::link(QFile::encodeName(existing).constData(), QFile::encodeName(link).constData()) ==
           0;
#endif
}

Failure copyInto(const QString &target, const QString &backup, const CheckedFile &access)
{
    CheckedFile source(target);
    if (!source.openForReading())
        return QStringLiteral("it could not be opened for the backup: %1").arg(source.errorText());
    CheckedFile part(backup + QStringLiteral(".new"));
    // Whatever fails, no part of a backup stays beside the account file.
    const auto discardPart = [&](const QString &reason) {
        part.close();
        QString ignored;
        removeFile(part.path(), ignored);
        return reason;
    };
    const auto writeFailure = [&] {
        return discardPart(QStringLiteral("writing the backup %1 failed: %2")
                               .arg(QDir::toNativeSeparators(part.path()), part.errorText()));
    };
    if (!part.createPrivate())
        return writeFailure();
    QByteArray buffer(chunkSize, Qt::Uninitialized);
    for (;;) {
        const qint64 got = source.read(buffer.data(), buffer.size());
        if (got < 0)
            return discardPart(
                QStringLiteral("reading it for the backup failed: %1").arg(source.errorText()));
        if (got == 0)
            break;
        if (!part.write(QByteArrayView(buffer.constData(), got)))
            return writeFailure();
    }
    bool crossDevice = false;
    if (!part.copyAccessFrom(access) || !part.syncToDisk() || !part.close() ||
        !part.replace(backup, crossDevice))
        return writeFailure();
    return {};
}

} // namespace

Failure keepBackup(AccountFileUpdate &update)
{
    const QString target = update.realPath();
    const QString backup = target + QStringLiteral(".bak");
    QString reason;
    if (!removeFile(backup, reason))
        return QStringLiteral("the old backup %1 could not be removed: %2")
            .arg(QDir::toNativeSeparators(backup), reason);
    if (FileOperationHooks::current().hardLinksAllowed() && makeHardLink(target, backup))
        return {};
    return copyInto(target, backup, update.source());
}
