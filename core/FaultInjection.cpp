#include "FaultInjection.h"

#include <atomic>
#include <utility>

namespace {

constexpr int defaultLockWait = 5000;

std::atomic<int> failingOperation{0};
std::atomic<int> operationsSoFar{0};
std::atomic<int> lockWaitMilliseconds{defaultLockWait};
std::atomic<bool> streamingOnly{false};
std::function<void()> afterScanStep;

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
    streamingOnly = false;
    afterScanStep = nullptr;
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

void setStreamingCopyOnly(bool streaming)
{
    streamingOnly = streaming;
}

bool streamingCopyOnly()
{
    return streamingOnly;
}

void setAfterScan(std::function<void()> step)
{
    afterScanStep = std::move(step);
}

void afterScan()
{
    if (afterScanStep)
        std::exchange(afterScanStep, nullptr)();
}

} // namespace FaultInjection
