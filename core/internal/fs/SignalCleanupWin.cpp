#include "core/internal/fs/SignalCleanup.h"

#include "core/internal/fs/SignalCleanupPlatform.h"

#include <QDir>

#include <windows.h>

// The lock files need nothing here: they are deleted when closed, and the system closes them
// however the program ends.

namespace {

// Runs in a thread of its own that the system starts; the default handler after it ends the
// program.
BOOL WINAPI removeOnConsoleEnd(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    // A change already in place is reported first; this thread waits, the program goes on.
    while (SignalCleanup::signalsHeld())
        Sleep(1);
    SignalCleanup::removeArmedPaths();
    return FALSE;
}

} // namespace

bool SignalCleanupPlatform::encode(const QString &path, wchar_t (&storage)[pathCapacity])
{
    const QString native = QDir::toNativeSeparators(path);
    if (native.isEmpty() || native.size() >= pathCapacity || native.contains(QChar()))
        return false;
    const int length = native.toWCharArray(storage);
    storage[length] = L'\0';
    return true;
}

// The copy is open with delete sharing: it goes as soon as the program's handles close. It may
// have taken a read-only account file's attributes already.
void SignalCleanupPlatform::removePath(const wchar_t *path)
{
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(path, attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
    DeleteFileW(path);
}

void SignalCleanupPlatform::installHandlers()
{
    SetConsoleCtrlHandler(removeOnConsoleEnd, TRUE);
}

void SignalCleanupPlatform::restoreHandlers()
{
    SetConsoleCtrlHandler(removeOnConsoleEnd, FALSE);
}

// The handler's own thread waits for the hold to end: nothing is kept for later.
void SignalCleanupPlatform::actOnHeldSignal(int) {}
