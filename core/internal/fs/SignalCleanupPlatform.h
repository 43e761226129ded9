#pragma once

#include <QString>

// What the two platform halves of SignalCleanup give its common part.
namespace SignalCleanupPlatform {

#ifdef Q_OS_WIN
using NativeChar = wchar_t;
#else
using NativeChar = char;
#endif
constexpr int pathCapacity = 4096;

// The path as the system call that removes it takes it, ending in a zero; false when it does
// not fit.
bool encode(const QString &path, NativeChar (&storage)[pathCapacity]);
// Async-signal-safe; whatever is at the path, a missing file included, is no concern any more.
void removePath(const NativeChar *path);
// Called in turn, never at once: when the first path is armed and when the last is disarmed.
void installHandlers();
void restoreHandlers();
// Once a hold is over: the signal it kept ends the program as it would have then.
void actOnHeldSignal(int signalNumber);

} // namespace SignalCleanupPlatform
