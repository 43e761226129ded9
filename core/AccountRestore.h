#pragma once

#include "core/OperationResult.h"

#include <QString>
#include <QtGlobal>

// Puts the backup <account file>.bak back in place of the account file, and the account file in
// place of the backup, so that a second restore undoes the first. The operator is first shown
// what the swap would change (the preview); the swap then refuses if either file changed since.

// A file as the preview found it, for the swap to tell whether it is still the same.
struct RestoreFileStamp
{
    quint64 device = 0;
    quint64 file = 0;
    qint64 size = -1;
    qint64 modified = 0;
    qint64 changed = 0;
};

struct RestorePreview : OperationResult<ReadOutcome>
{
    bool noBackup = false; // a FileError because there is no backup to put back
    // Accounts (names, as the duplicate check compares them) that only one of the files holds.
    int onlyInCurrent = 0;
    int onlyInBackup = 0;
    RestoreFileStamp current;
    RestoreFileStamp backup;
};

// Reads both files without a lock and counts their accounts.
RestorePreview PreviewRestore(const QString &applicationFolder);

enum class RestoreOutcome
{
    Done,
    Changed, // a file changed since the preview: nothing was written
    FileError,
};

using RestoreResult = OperationResult<RestoreOutcome>;

// Swaps the files under the account file's lock, so that the account file is there at every
// moment, and flushes the folder.
RestoreResult RestoreBackup(const QString &applicationFolder, const RestorePreview &preview);
