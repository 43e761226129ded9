#include "cli/StartedAlone.h"

#include <windows.h>

#include <conio.h>
#include <cstdio>

bool startedOnOwnConsole()
{
    // A console that reads keys is needed to wait for one; a script's pipe is no such console.
    DWORD mode = 0;
    if (!GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode))
        return false;
    DWORD processes[2];
    return GetConsoleProcessList(processes, 2) == 1;
}

void waitForKeyBeforeClosing()
{
    std::fputs("\nPress any key to close this window.", stdout);
    std::fflush(stdout);
    _getch();
}
