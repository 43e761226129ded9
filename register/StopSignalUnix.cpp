#include "register/StopSignal.h"

#include <csignal>
#include <ctime>

#include <pthread.h>

namespace {

sigset_t stopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    return set;
}

} // namespace

// Blocked in every thread, the signals wait for sigtimedwait() in the main thread: no handler
// runs in the middle of an update, and the update's own cleanup never has to end the program.
void catchStopSignals()
{
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

bool waitForStopSignal(int milliseconds)
{
    const sigset_t set = stopSignals();
    timespec wait = {milliseconds / 1000, long(milliseconds % 1000) * 1000000L};
    return sigtimedwait(&set, nullptr, &wait) > 0;
}

void stoppedAfterSignal() {}
