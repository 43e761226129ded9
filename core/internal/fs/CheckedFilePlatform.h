#pragma once

#include "core/internal/Failure.h"
#include "core/internal/format/AccountFileFormat.h"

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
// The system's steps behind renameFile() and syncFolder(), which add the test hooks.
Failure renameFileOnce(const QString &from, const QString &to);
Failure syncFolderOnce(const QString &folder);

} // namespace CheckedFilePlatform
