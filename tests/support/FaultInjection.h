#pragma once

#include "core/internal/fs/FileOperationHooks.h"

#include <QList>
#include <QString>

#include <functional>

// The failing file layer of the tests: every file operation an update performs (open, read,
// write, sync, close, permission copy, copy, rename, remove) is counted, and the one with the
// chosen number fails as a real I/O error would. Linking this in installs it.
namespace FaultInjection {

// Operations are numbered from 1 since the last reset; 0 turns failing off.
void failOperation(int number);
// Operations counted since the last reset.
int operationCount();
// Also restores the update's own lock wait, the system copy, the widest vectors, hard links,
// and drops the steps and the record below.
void reset();

// How long an update waits for a busy lock, in milliseconds.
void setLockWait(int milliseconds);

// Makes an add stream every byte of the account file into the copy instead of letting the
// system copy what needs no change.
void setStreamingCopyOnly(bool streaming);

// Keeps the scan to the vector instructions of every x86-64 processor (SSE2) when narrow.
void setNarrowVectors(bool narrow);

// Makes a backup copy the account file, as on a file system without hard links.
void setNoHardLinks(bool none);

// Makes a restore write the backup through an update's copy, as where the system cannot
// exchange two files.
void setNoExchange(bool none);

// Runs step before every file operation: a look at the files as a crash there would leave them.
void setBeforeEachOperation(std::function<void()> step);

// Runs step once the add has read the account file and before it copies it: another program
// changing the file in between.
void setAfterScan(std::function<void()> step);

// Keeps, until the next reset, the steps that make a change last as the system does them.
void recordSteps();
struct DoneStep
{
    FileOperationHooks::Step step;
    QString path;
};
QList<DoneStep> stepsDone();

} // namespace FaultInjection
