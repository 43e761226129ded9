#include "cli/StartedAlone.h"

bool startedOnOwnConsole()
{
    return false;
}

void waitForKeyBeforeClosing() {}
