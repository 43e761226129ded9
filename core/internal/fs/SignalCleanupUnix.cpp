#include "core/internal/fs/SignalCleanup.h"

#include "core/internal/fs/SignalCleanupPlatform.h"

#include <QFile>

#include <csignal>
#include <cstring>
#include <iterator>

#include <pthread.h>
#include <unistd.h>

namespace {

constexpr int endingSignals[] = {SIGINT, SIGTERM, SIGHUP};
bool installed[std::size(endingSignals)] = {};

extern "C" void removeAndEnd(int signalNumber)
{
    if (SignalCleanup::holdSignal(signalNumber))
        return;
    SignalCleanup::removeArmedPaths();
    struct sigaction plain = {};
    plain.sa_handler = SIG_DFL;
    sigemptyset(&plain.sa_mask);
    sigaction(signalNumber, &plain, nullptr);
    // The signal is blocked while its handler runs: unblocked, it ends the program right here.
    sigset_t own;
    sigemptyset(&own);
    sigaddset(&own, signalNumber);
    pthread_sigmask(SIG_UNBLOCK, &own, nullptr);
    raise(signalNumber);
}

} // namespace

bool SignalCleanupPlatform::encode(const QString &path, char (&storage)[pathCapacity])
{
    const QByteArray native = QFile::encodeName(path);
    if (native.isEmpty() || native.size() >= pathCapacity || native.contains('\0'))
        return false;
    std::memcpy(storage, native.constData(), size_t(native.size()) + 1);
    return true;
}

void SignalCleanupPlatform::removePath(const char *path)
{
    ::unlink(path);
}

void SignalCleanupPlatform::installHandlers()
{
    struct sigaction ours = {};
    ours.sa_handler = removeAndEnd;
    // One handler at a time in a thread: a second signal must not interrupt the first's
    // removals and then wait for them.
    sigemptyset(&ours.sa_mask);
    // A signal held while the outcome is printed must not cut the printing short.
    ours.sa_flags = SA_RESTART;
    for (const int signalNumber : endingSignals)
        sigaddset(&ours.sa_mask, signalNumber);
    for (std::size_t i = 0; i < std::size(endingSignals); ++i) {
        struct sigaction current = {};
        installed[i] = sigaction(endingSignals[i], nullptr, &current) == 0 &&
                       !(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_DFL &&
                       sigaction(endingSignals[i], &ours, nullptr) == 0;
    }
}

void SignalCleanupPlatform::restoreHandlers()
{
    struct sigaction plain = {};
    plain.sa_handler = SIG_DFL;
    sigemptyset(&plain.sa_mask);
    for (std::size_t i = 0; i < std::size(endingSignals); ++i) {
        if (installed[i])
            sigaction(endingSignals[i], &plain, nullptr);
        installed[i] = false;
    }
}

// Our handler is gone by now unless another update still has paths armed, and then it ends the
// program itself.
void SignalCleanupPlatform::actOnHeldSignal(int signalNumber)
{
    raise(signalNumber);
}
