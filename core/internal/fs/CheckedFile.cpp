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

FailureReason lastSystemFailure()
{
    const bool refused = CheckedFilePlatform::lastErrorRefusedAccess();
    return FailureReason(lastSystemError(),
                         refused ? FailureReason::AccessRefused : FailureReason::Fault);
}

namespace {

Failure injected()
{
    if (!FileOperationHooks::current().failNextOperation())
        return std::nullopt;
    return CheckedFilePlatform::injectedReason();
}

} // namespace

Failure CheckedFile::injectedFailure() const
{
    return injected();
}

bool CheckedFilePlatform::did(FileOperationHooks::Step step, const QString &path)
{
    FileOperationHooks::current().done(step, path);
    return true;
}

bool CheckedFile::did(FileOperationHooks::Step step)
{
    return CheckedFilePlatform::did(step, m_path);
}

Result<qint64> CheckedFile::readAt(qint64 offset, char *buffer, qint64 size) const
{
    if (Failure failure = injectedFailure())
        return *failure;
    return readAtOnce(offset, buffer, size);
}

Failure CheckedFile::copyThroughBuffer(CheckedFile &source, qint64 from, qint64 length)
{
    if (from >= length)
        return std::nullopt;
    QByteArray buffer(qMin(length - from, CheckedFilePlatform::copyChunkSize), Qt::Uninitialized);
    while (from < length) {
        const Result<qint64> got =
            source.readAtOnce(from, buffer.data(), qMin<qint64>(buffer.size(), length - from));
        if (!got)
            return got.failure();
        if (*got == 0)
            return FailureReason(CheckedFilePlatform::shrankReason());
        if (Failure failure = writeAll(QByteArrayView(buffer.constData(), *got)))
            return failure;
        from += *got;
    }
    return std::nullopt;
}

Failure CheckedFile::write(QByteArrayView bytes)
{
    if (Failure failure = injectedFailure())
        return failure;
    return writeAll(bytes);
}

bool CheckedFile::isCreatedFile(const FileIdentity &identity) const
{
    return m_madeHere && identity == m_created;
}

Failure CheckedFile::moveTo(const QString &path)
{
    if (Failure failure = replace(path))
        return failure;
    m_path = QDir::toNativeSeparators(path);
    if (!stillNamesCreatedFile())
        return QStringLiteral("%1 was replaced by another program").arg(m_path);
    return std::nullopt;
}

Failure renameFile(const QString &from, const QString &to)
{
    if (Failure failure = injected())
        return failure;
    return CheckedFilePlatform::renameFileOnce(from, to);
}

Failure syncFolder(const QString &folder)
{
    if (Failure failure = injected())
        return failure;
    return CheckedFilePlatform::syncFolderOnce(folder);
}

Failure removeFile(const QString &path)
{
    // One retry: a failed removal leaves a copy of the accounts behind.
    Failure failure;
    for (int attempt = 0; attempt < 2; ++attempt) {
        failure = injected();
        if (!failure && !(failure = CheckedFilePlatform::removeOnce(path)))
            return std::nullopt;
    }
    return failure;
}
