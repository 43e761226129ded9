#include "core/internal/fs/SignalCleanup.h"

#include "core/internal/fs/SignalCleanupPlatform.h"

#include <atomic>
#include <mutex>
#include <thread>

using namespace SignalCleanupPlatform;

namespace {

// A slot is filled only while free and read by a handler only once armed, so the handler never
// meets a path being written; a handler marks what it takes, so that the slot is not reused
// under it.
enum SlotState : int
{
    Free,
    Filling,
    Armed,
    Removing,
    Removed,
};

struct Slot
{
    std::atomic<int> state{Free};
    std::atomic<SignalCleanup::Stage> stage{SignalCleanup::Stage::Copy};
    NativeChar path[pathCapacity];
};

// Enough for a few updates at once in one program, each with its copy, the copy beside the
// account file and two lock files.
constexpr int slotCount = 32;
Slot table[slotCount];
std::atomic<int> removalsUnderway{0};

static_assert(std::atomic<int>::is_always_lock_free &&
                  std::atomic<SignalCleanup::Stage>::is_always_lock_free,
              "used in signal handlers");

std::mutex handlersMutex;
int armedCount = 0; // guarded by handlersMutex; a hold counts as one more

// Scopes are a thread's own; the signals they hold are the process's.
thread_local int reportScopeDepth = 0;
thread_local bool holdingSignals = false;
std::atomic<int> holders{0};
std::atomic<int> heldSignal{0};

void armHandlers()
{
    const std::lock_guard<std::mutex> guard(handlersMutex);
    if (armedCount++ == 0)
        installHandlers();
}

void disarmHandlers()
{
    const std::lock_guard<std::mutex> guard(handlersMutex);
    if (--armedCount == 0)
        restoreHandlers();
}

void removeStage(SignalCleanup::Stage stage)
{
    for (Slot &slot : table) {
        int expected = Armed;
        if (slot.stage.load() != stage ||
            !slot.state.compare_exchange_strong(expected, Removing, std::memory_order_acquire))
            continue;
        ++removalsUnderway;
        removePath(slot.path);
        slot.state.store(Removed, std::memory_order_release);
        --removalsUnderway;
    }
}

} // namespace

void SignalCleanup::arm(const QString &path, Stage stage)
{
    disarm();
    for (int i = 0; i < slotCount; ++i) {
        int expected = Free;
        if (!table[i].state.compare_exchange_strong(expected, Filling))
            continue;
        if (!encode(path, table[i].path)) {
            table[i].state.store(Free);
            return;
        }
        table[i].stage = stage;
        armHandlers();
        table[i].state.store(Armed, std::memory_order_release);
        m_slot = i;
        return;
    }
}

void SignalCleanup::disarm()
{
    if (m_slot < 0)
        return;
    Slot &slot = table[m_slot];
    m_slot = -1;
    for (;;) {
        int expected = slot.state.load(std::memory_order_acquire);
        if (expected == Removing) {
            // A handler in another thread ends the program in a moment.
            std::this_thread::yield();
            continue;
        }
        if (slot.state.compare_exchange_weak(expected, Free))
            break;
    }
    disarmHandlers();
}

void SignalCleanup::removeArmedPaths()
{
    removeStage(Stage::Copy);
    removeStage(Stage::Lock);
    // Another thread's handler may still be at its removals; the program must not end first.
    while (removalsUnderway.load() > 0) {
    }
}

void SignalCleanup::enterReportScope()
{
    ++reportScopeDepth;
}

void SignalCleanup::leaveReportScope()
{
    if (--reportScopeDepth > 0 || !holdingSignals)
        return;
    holdingSignals = false;
    --holders;
    disarmHandlers();
    if (holders.load() > 0)
        return;
    if (const int signalNumber = heldSignal.exchange(0))
        actOnHeldSignal(signalNumber);
}

void SignalCleanup::holdUntilReported()
{
    if (reportScopeDepth == 0 || holdingSignals)
        return;
    holdingSignals = true;
    armHandlers();
    ++holders;
}

bool SignalCleanup::signalsHeld()
{
    return holders.load() > 0;
}

bool SignalCleanup::holdSignal(int signalNumber)
{
    if (holders.load() == 0)
        return false;
    heldSignal.store(signalNumber);
    // Should the hold have ended meanwhile, whoever takes the signal back acts on it.
    return holders.load() > 0 || heldSignal.exchange(0) == 0;
}
