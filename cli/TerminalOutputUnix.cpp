#include "cli/TerminalOutput.h"

#include <sys/ioctl.h>
#include <unistd.h>

bool outputIsTerminal()
{
    return isatty(STDOUT_FILENO) != 0;
}

int outputTerminalWidth()
{
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0)
        return 0;
    return size.ws_col;
}
