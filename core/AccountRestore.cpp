#include "core/AccountRestore.h"

#include "core/AccountFile.h"
#include "core/AccountFileCheck.h"
#include "core/AuditTrail.h"
#include "core/internal/AccountBackup.h"
#include "core/internal/AccountFileUpdate.h"
#include "core/internal/format/LineSplitter.h"
#include "core/internal/fs/CheckedFile.h"
#include "core/internal/fs/FileExchange.h"
#include "core/internal/fs/FileOperationHooks.h"
#include "core/internal/scan/AccountLineReader.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr qint64 chunkSize = 1 << 20;

RestoreFileStamp stampOf(const FileState &state)
{
    return {state.identity.device, state.identity.file, state.size, state.modified, state.changed};
}

bool sameFile(const RestoreFileStamp &a, const RestoreFileStamp &b)
{
    return a.device == b.device && a.file == b.file && a.size == b.size &&
           a.modified == b.modified && a.changed == b.changed;
}

QString backupPathOf(const AccountFileUpdate &update)
{
    return update.realPath() + QStringLiteral(".bak");
}

// The whole file, read after its state was taken: a file written meanwhile no longer matches it.
Failure readWhole(CheckedFile &file, QByteArray &bytes, RestoreFileStamp &stamp)
{
    const Result<FileState> state = file.state();
    if (!state)
        return state.failure();
    stamp = stampOf(*state);
    bytes.reserve(state->size);
    QByteArray chunk(chunkSize, Qt::Uninitialized);
    for (;;) {
        const Result<qint64> read = file.read(chunk.data(), chunk.size());
        if (!read)
            return read.failure();
        if (*read == 0)
            return {};
        bytes.append(chunk.constData(), *read);
    }
}

// The splitter holds the lines that the names look at: it must outlive them.
void addNames(const QByteArray &bytes, LineSplitter &splitter, AccountNames &names)
{
    splitter.feed(bytes);
    splitter.finish();
    LineSplitter::Line line;
    while (splitter.next(line) == LineSplitter::Step::Taken) {
        // A record is a few dozen bytes: a line longer than the splitter hands out whole is none.
        if (!splitter.lineIsCut())
            names.add(line.bytes);
    }
}

Failure backupMissing(const QString &backupPath)
{
    const QFileInfo info(backupPath);
    if (info.isSymLink())
        return QStringLiteral("the backup %1 is a symbolic link, which a restore does not follow")
            .arg(QDir::toNativeSeparators(backupPath));
    if (!info.isFile())
        return QStringLiteral("there is no backup %1 to restore")
            .arg(QDir::toNativeSeparators(backupPath));
    return {};
}

int countMissing(const AccountNames &names, const AccountNames &from)
{
    int count = 0;
    for (qsizetype number = 0; number < names.count(); ++number)
        count += from.holds(names, number) ? 0 : 1;
    return count;
}

// Where the system cannot swap two names in one step: the backup is written as a new account
// file through the update's own steps, which keep the account file in place throughout, and the
// file it replaces becomes the backup.
Failure restoreByCopy(AccountFileUpdate &update)
{
    CheckedFile backup(backupPathOf(update));
    if (Failure failure = backup.openForReading())
        return failure->within(QStringLiteral("the backup could not be opened: %1"));
    const Result<qint64> size = backup.size();
    if (!size)
        return size.failure()->within(QStringLiteral("the backup could not be read: %1"));
    Failure failure = update.createCopy();
    if (!failure)
        failure = update.copy().copyFrom(backup, *size);
    // Windows renames nothing over a file that is open.
    if (!failure)
        failure = backup.close();
    if (!failure)
        failure = commitWithBackup(update, true);
    return failure;
}

Failure swapUnderLock(AccountFileUpdate &update, bool &swapped)
{
    if (Failure failure = update.confirmSourceUnchanged())
        return failure;
    const QString backupPath = backupPathOf(update);
    Failure failure = FileOperationHooks::current().exchangeAllowed()
                          ? exchangeFiles(update.realPath(), backupPath)
                          : FailureReason(QString(), FailureReason::Unsupported);
    if (failure && failure->kind == FailureReason::Unsupported)
        return restoreByCopy(update);
    if (failure)
        return failure;
    swapped = true;
    return syncFolder(QFileInfo(backupPath).absolutePath());
}

} // namespace

RestorePreview PreviewRestore(const QString &applicationFolder)
{
    RestorePreview preview;
    const QString accountPath = accountFilePath(applicationFolder);
    AccountFileUpdate update(accountPath);
    Failure failure = update.open(AccountFileUpdate::Locking::None);
    if (!failure) {
        failure = backupMissing(backupPathOf(update));
        preview.noBackup = failure.has_value();
    }
    QByteArray currentBytes;
    QByteArray backupBytes;
    if (!failure)
        failure = readWhole(update.source(), currentBytes, preview.current);
    CheckedFile backupFile(update.realPath().isEmpty() ? QString() : backupPathOf(update));
    if (!failure)
        failure = backupFile.openForReading();
    if (!failure)
        failure = readWhole(backupFile, backupBytes, preview.backup);
    if (failure) {
        preview.errorText = fileReadErrorText(accountPath, *failure);
        return preview;
    }
    // Lines cut where every reader of the file cuts them, so that a name counts as it does for
    // the duplicate check.
    LineSplitter currentLines(AccountLineReader::longestWholeLine);
    LineSplitter backupLines(AccountLineReader::longestWholeLine);
    AccountNames current;
    AccountNames backup;
    addNames(currentBytes, currentLines, current);
    addNames(backupBytes, backupLines, backup);
    preview.outcome = ReadOutcome::Done;
    preview.onlyInCurrent = countMissing(current, backup);
    preview.onlyInBackup = countMissing(backup, current);
    return preview;
}

RestoreResult RestoreBackup(const QString &applicationFolder, const RestorePreview &preview)
{
    RestoreResult result;
    const QString accountPath = accountFilePath(applicationFolder);
    AccountFileUpdate update(accountPath);
    if (Failure failure = update.open()) {
        result.errorText = fileErrorText(accountPath, *failure);
        return result;
    }
    const Result<FileState> current = fileStateAt(update.realPath());
    const Result<FileState> backup = fileStateAt(backupPathOf(update));
    // A link put in the backup's place since the preview would be swapped in as the account file.
    if (!current || !backup || backupMissing(backupPathOf(update)) ||
        !sameFile(stampOf(*current), preview.current) ||
        !sameFile(stampOf(*backup), preview.backup)) {
        result.outcome = RestoreOutcome::Changed;
        result.errorText = fileErrorText(
            accountPath, QStringLiteral("the account file or its backup changed after their "
                                        "accounts were counted; look at the new counts first"));
        return result;
    }
    bool swapped = false;
    const Failure failure = swapUnderLock(update, swapped);
    result.fileChanged = swapped || update.changedFile();
    const QString what =
        QStringLiteral("backup restored, the account file before it kept as the backup (%1 "
                       "accounts were only in the account file, %2 only in the backup)")
            .arg(preview.onlyInCurrent)
            .arg(preview.onlyInBackup);
    auditFileChange(accountPath, what, failure ? failure->text : QString(), result.fileChanged);
    if (failure) {
        result.errorText = fileErrorText(accountPath, *failure, result.fileChanged);
        return result;
    }
    result.outcome = RestoreOutcome::Done;
    return result;
}
