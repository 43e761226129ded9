#pragma once

#include <QString>

// A path that goes when a signal ends the program in the middle of an update (SIGINT, SIGTERM
// and SIGHUP on POSIX systems; Ctrl+C, Ctrl+Break and a closed console window on Windows): the
// copy, which holds every password, and the lock files. The handler then ends the program as
// the signal would have. It is in place only while a path is armed, and never takes the place
// of a handler the program or a caller set up itself (or of a signal being ignored, as under
// nohup): whoever handles the signal ends the update through its own cleanup.
class SignalCleanup
{
public:
    // Copies are removed before the lock files that guard them: whoever takes a lock next
    // never meets the copy of the update that held it.
    enum class Stage
    {
        Copy,
        Lock,
    };

    SignalCleanup() = default;
    ~SignalCleanup() { disarm(); }
    SignalCleanup(const SignalCleanup &) = delete;
    SignalCleanup &operator=(const SignalCleanup &) = delete;

    // Only for a path that is ours: a file this update made, a lock file while it is held. A
    // path too long for the storage kept ready, or more paths at once than it has room for, are
    // left to the update's own cleanup.
    void arm(const QString &path, Stage stage);
    // Before the path stops being ours; waits for a signal handler that is removing it.
    void disarm();

    // For the platform's handler: async-signal-safe, and safe to run in several threads at once.
    static void removeArmedPaths();

    // The hold behind ReportScope. holdUntilReported() starts it in the calling thread's scope
    // (nothing outside a scope); it ends with the outermost scope.
    static void enterReportScope();
    static void leaveReportScope();
    static void holdUntilReported();
    // For the platform's handler: whether a hold is on; holdSignal() keeps the signal for its
    // end and says so, or says that the hold is over and the handler must act on it now.
    static bool signalsHeld();
    static bool holdSignal(int signalNumber);

private:
    int m_slot = -1;
};
