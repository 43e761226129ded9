#include "FaultInjection.h"

#include <atomic>

namespace {

constexpr int defaultLockWait = 5000;

std::atomic<int> failingOperation{0};
std::atomic<int> operationsSoFar{0};
std::atomic<int> lockWaitMilliseconds{defaultLockWait};

} // namespace

namespace FaultInjection {

void failOperation(int number)
{
    failingOperation = number;
}

int operationCount()
{
    return operationsSoFar;
}

void reset()
{
    failingOperation = 0;
    operationsSoFar = 0;
    lockWaitMilliseconds = defaultLockWait;
}

void setLockWait(int milliseconds)
{
    lockWaitMilliseconds = milliseconds;
}

int lockWait()
{
    return lockWaitMilliseconds;
}

bool nextOperationFails()
{
    const int number = ++operationsSoFar;
    return number == failingOperation;
}

} // namespace FaultInjection
