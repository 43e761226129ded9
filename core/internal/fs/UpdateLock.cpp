#include "core/internal/fs/UpdateLock.h"

#include <QDeadlineTimer>
#include <QRandomGenerator>
#include <QThread>

#include <atomic>

namespace {

std::atomic<int> defaultWaitMilliseconds{5000};

} // namespace

int UpdateLock::defaultWait()
{
    return defaultWaitMilliseconds;
}

void UpdateLock::setDefaultWait(int milliseconds)
{
    defaultWaitMilliseconds = milliseconds;
}

UpdateLock::~UpdateLock()
{
    release();
}

// Short random pauses keep several copies of the tool taking turns under steady contention.
Failure UpdateLock::acquire(int waitMilliseconds)
{
    const QDeadlineTimer deadline(waitMilliseconds);
    for (;;) {
        Failure failure = tryOnce();
        if (!failure || failure->kind != FailureReason::Busy || deadline.hasExpired())
            return failure;
        QThread::msleep(2 + QRandomGenerator::global()->bounded(10));
    }
}
