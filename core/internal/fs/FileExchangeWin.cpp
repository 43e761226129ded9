#include "core/internal/fs/FileExchange.h"

// Windows has no exchange of two names: ReplaceFileW moves the replaced file to a third name
// first, and when its last step fails the replaced name may be left empty. The restore then
// writes the backup as a new account file through the update's own steps instead, whose
// MoveFileEx keeps the account file present throughout.
Failure exchangeFiles(const QString &, const QString &)
{
    return FailureReason(QStringLiteral("the system cannot exchange two files"),
                         FailureReason::Unsupported);
}
