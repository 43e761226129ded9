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
bool UpdateLock::acquire(int waitMilliseconds)
{
    const QDeadlineTimer deadline(waitMilliseconds);
    m_accessRefused = false;
    for (;;) {
        switch (tryOnce()) {
        case Attempt::Taken:
            m_busy = false;
            return true;
        case Attempt::Failed:
            m_busy = false;
            return false;
        case Attempt::Busy:
            m_busy = true;
            break;
        }
        if (deadline.hasExpired())
            return false;
        QThread::msleep(2 + QRandomGenerator::global()->bounded(10));
    }
}
