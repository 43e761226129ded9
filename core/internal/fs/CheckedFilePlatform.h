#pragma once

#include "core/internal/Failure.h"
#include "core/internal/format/AccountFileFormat.h"
#include "core/internal/fs/FileOperationHooks.h"

#include <QString>

// What the two platform halves of CheckedFile share with its common part.
namespace CheckedFilePlatform {

// What a failure injected by a test reads as.
QString injectedReason();
QString shrankReason();

constexpr qint64 copyChunkSize = AccountFileFormat::chunkSize;
// Someone keeps putting a file where ours is to be created.
constexpr int creationAttempts = 3;

// Whether the last failed system call was refused for lack of access rather than failed.
bool lastErrorRefusedAccess();

// One attempt; removeFile() adds the retry.
Failure removeOnce(const QString &path);
// The system's steps behind renameFile() and syncFolder(), which add the injected failures;
// syncFolderOnce() tells the hooks of the flush itself.
Failure renameFileOnce(const QString &from, const QString &to);
Failure syncFolderOnce(const QString &folder);

// Tells the hooks that the system did a step, and is true, to stand in one expression for the
// system call's success: whoever drops the call drops the report with it, and the tests see the
// step missing.
bool did(FileOperationHooks::Step step, const QString &path);

} // namespace CheckedFilePlatform
