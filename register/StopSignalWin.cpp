#include "register/StopSignal.h"

#include <windows.h>

namespace {

HANDLE stopRequested = nullptr;
HANDLE stopped = nullptr;

// Runs in a thread of its own. For a closed console the system ends the process once the
// handler returns: it waits for the service to finish, as long as the system allows.
BOOL WINAPI onConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        SetEvent(stopRequested);
        WaitForSingleObject(stopped, 4500);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

void catchStopSignals()
{
    stopRequested = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    stopped = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

bool waitForStopSignal(int milliseconds)
{
    return WaitForSingleObject(stopRequested, DWORD(milliseconds)) == WAIT_OBJECT_0;
}

void stoppedAfterSignal()
{
    SetEvent(stopped);
}
