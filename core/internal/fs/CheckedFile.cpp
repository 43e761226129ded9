#include "core/internal/fs/CheckedFile.h"

#include "core/internal/fs/CheckedFilePlatform.h"
#include "core/internal/fs/FileOperationHooks.h"

#include <QDir>

QString CheckedFilePlatform::injectedReason()
{
    return QStringLiteral("Input/output error");
}

QString CheckedFilePlatform::shrankReason()
{
    return QStringLiteral("the account file became shorter while it was copied");
}

bool CheckedFile::fail(const QString &reason)
{
    m_accessRefused = false;
    m_error = reason;
    return false;
}

bool CheckedFile::failFromSystem()
{
    const bool refused = CheckedFilePlatform::lastErrorRefusedAccess();
    fail(lastSystemError());
    m_accessRefused = refused;
    return false;
}

bool CheckedFile::injectedFailure()
{
    if (!FileOperationHooks::current().failNextOperation())
        return false;
    m_error = CheckedFilePlatform::injectedReason();
    return true;
}

// True, to stand in one expression for the system call's success: whoever drops the call drops
// the report with it, and the tests see the step missing.
bool CheckedFile::did(FileOperationHooks::Step step)
{
    FileOperationHooks::current().done(step, m_path);
    return true;
}

bool CheckedFile::write(QByteArrayView bytes)
{
    return !injectedFailure() && writeAll(bytes);
}

bool CheckedFile::isCreatedFile(const FileIdentity &identity) const
{
    return m_madeHere && identity == m_created;
}

bool CheckedFile::moveTo(const QString &path, bool &crossDevice)
{
    if (!replace(path, crossDevice))
        return false;
    m_path = QDir::toNativeSeparators(path);
    return stillNamesCreatedFile() ||
           fail(QStringLiteral("%1 was replaced by another program").arg(m_path));
}

bool renameFile(const QString &from, const QString &to, QString &error)
{
    if (FileOperationHooks::current().failNextOperation()) {
        error = CheckedFilePlatform::injectedReason();
        return false;
    }
    return CheckedFilePlatform::renameFileOnce(from, to, error);
}

bool syncFolder(const QString &folder, QString &error)
{
    if (FileOperationHooks::current().failNextOperation()) {
        error = CheckedFilePlatform::injectedReason();
        return false;
    }
    if (!CheckedFilePlatform::syncFolderOnce(folder, error))
        return false;
    FileOperationHooks::current().done(FileOperationHooks::Step::FolderFlushed, folder);
    return true;
}

bool removeFile(const QString &path, QString &error)
{
    // One retry: a failed removal leaves a copy of the accounts behind.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (FileOperationHooks::current().failNextOperation())
            error = CheckedFilePlatform::injectedReason();
        else if (CheckedFilePlatform::removeOnce(path, error))
            return true;
    }
    return false;
}
