#pragma once

#include <functional>

// A seam for tests of the account-file update: every file operation the update performs (open,
// read, write, sync, close, permission copy, copy, rename, remove) is counted, and the one with
// the chosen number can be made to fail as a real I/O error would. Nothing outside the tests
// sets it.
namespace FaultInjection {

// Operations are numbered from 1 since the last reset; 0 turns failing off.
void failOperation(int number);
// Operations counted since the last reset.
int operationCount();
void reset();

// How long an update waits for the account file's lock, in milliseconds.
void setLockWait(int milliseconds);
int lockWait();

// Called by the file layer before each operation: true when this one must fail.
bool nextOperationFails();

// Makes an add stream every byte of the account file into the copy, as it does for a file whose
// line ends need rewriting, instead of letting the system copy what needs no change.
void setStreamingCopyOnly(bool streaming);
bool streamingCopyOnly();

// Runs step once the add has read the account file and before it copies it: another program
// changing the file in between.
void setAfterScan(std::function<void()> step);
void afterScan();

} // namespace FaultInjection
