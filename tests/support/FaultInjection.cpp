#include "tests/support/FaultInjection.h"

#include "core/internal/fs/FileOperationHooks.h"
#include "core/internal/fs/UpdateLock.h"

#include <atomic>
#include <utility>

namespace {

class FailingFileOperations : public FileOperationHooks
{
public:
    FailingFileOperations() { install(this); }
    ~FailingFileOperations() override { install(nullptr); }

    bool failNextOperation() override
    {
        if (eachOperationStep)
            eachOperationStep();
        return ++operationsSoFar == failingOperation;
    }
    bool systemCopyAllowed() override { return !streamingOnly; }
    bool widestVectorsAllowed() override { return !narrowVectors; }
    bool hardLinksAllowed() override { return !noHardLinks; }
    bool exchangeAllowed() override { return !noExchange; }
    void done(Step step, const QString &path) override
    {
        if (recordingSteps)
            steps.append({step, path});
    }
    void afterScan() override
    {
        if (afterScanStep)
            std::exchange(afterScanStep, nullptr)();
    }

    std::atomic<int> failingOperation{0};
    std::atomic<int> operationsSoFar{0};
    std::atomic<bool> streamingOnly{false};
    std::atomic<bool> narrowVectors{false};
    std::atomic<bool> noHardLinks{false};
    std::atomic<bool> noExchange{false};
    std::function<void()> afterScanStep;
    std::function<void()> eachOperationStep;
    std::atomic<bool> recordingSteps{false};
    QList<FaultInjection::DoneStep> steps;
};

const int updateLockWait = UpdateLock::defaultWait();
FailingFileOperations operations;

} // namespace

namespace FaultInjection {

void failOperation(int number)
{
    operations.failingOperation = number;
}

int operationCount()
{
    return operations.operationsSoFar;
}

void reset()
{
    operations.failingOperation = 0;
    operations.operationsSoFar = 0;
    operations.streamingOnly = false;
    operations.narrowVectors = false;
    operations.noHardLinks = false;
    operations.noExchange = false;
    operations.afterScanStep = nullptr;
    operations.eachOperationStep = nullptr;
    operations.recordingSteps = false;
    operations.steps.clear();
    UpdateLock::setDefaultWait(updateLockWait);
}

void setLockWait(int milliseconds)
{
    UpdateLock::setDefaultWait(milliseconds);
}

void setStreamingCopyOnly(bool streaming)
{
    operations.streamingOnly = streaming;
}

void setNarrowVectors(bool narrow)
{
    operations.narrowVectors = narrow;
}

void setNoHardLinks(bool none)
{
    operations.noHardLinks = none;
}

void setNoExchange(bool none)
{
    operations.noExchange = none;
}

void setBeforeEachOperation(std::function<void()> step)
{
    operations.eachOperationStep = std::move(step);
}

void setAfterScan(std::function<void()> step)
{
    operations.afterScanStep = std::move(step);
}

void recordSteps()
{
    operations.recordingSteps = true;
}

QList<DoneStep> stepsDone()
{
    return operations.steps;
}

} // namespace FaultInjection
