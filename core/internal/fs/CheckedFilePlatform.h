#pragma once

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
bool removeOnce(const QString &path, QString &error);
// The system's steps behind renameFile() and syncFolder(), which add the test hooks.
bool renameFileOnce(const QString &from, const QString &to, QString &error);
bool syncFolderOnce(const QString &folder, QString &error);

} // namespace CheckedFilePlatform
