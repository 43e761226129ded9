#include "core/internal/scan/CoreAffinity.h"

#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <sched.h>

int currentCore()
{
    return sched_getcpu();
}

void leaveCore(int core)
{
    if (core < 0)
        return;
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) != 0)
        return;
    for (int step = 1; step < CPU_SETSIZE; ++step) {
        const int other = (core + step) % CPU_SETSIZE;
        if (!CPU_ISSET(other, &allowed))
            continue;
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(other, &one);
        if (sched_setaffinity(0, sizeof one, &one) == 0)
            sched_setaffinity(0, sizeof allowed, &allowed);
        return;
    }
}

#else

int currentCore()
{
    return -1;
}

void leaveCore(int) {}

#endif
