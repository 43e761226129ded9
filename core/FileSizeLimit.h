#pragma once

#include <csignal>

// Beyond the file-size limit (ulimit -f) a write must fail as it does on a full disk, so that the
// update reports a file error and cleans up after itself, instead of SIGXFSZ killing the program
// midway with a partial copy and its locks left behind. Both programs call it first thing.
inline void letWritesFailBeyondFileSizeLimit()
{
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}
