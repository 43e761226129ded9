#pragma once

#include "core/internal/Failure.h"
#include "core/internal/fs/SignalCleanup.h"

#include <QString>

// An exclusive lock that the system itself releases when its holder ends, however it ends: a
// killed holder never blocks the next update, so there is no stale lock to guess at. The lock
// file exists only while the lock is held (one left by a killed holder is simply taken).
// On POSIX systems it is a flock() on the lock file, checked to be the file still at the path;
// on Windows the lock file is open without sharing and deleted when closed.
class UpdateLock
{
public:
    explicit UpdateLock(const QString &path);
    ~UpdateLock(); // releases the lock and removes its file
    UpdateLock(const UpdateLock &) = delete;
    UpdateLock &operator=(const UpdateLock &) = delete;

    // Waits up to waitMilliseconds for another holder; a Busy failure when it kept the lock.
    Failure acquire(int waitMilliseconds = defaultWait());

    // Whether the lock file at the path is still the one locked: a lock file removed by hand
    // lets another holder in.
    bool stillHeld() const;

    // How long an update waits for a busy lock: a few seconds, long enough for another add to
    // finish, short enough that an operator is not left guessing.
    static int defaultWait();
    static void setDefaultWait(int milliseconds);
    QString path() const { return m_path; }

private:
    // No failure when the lock was taken.
    Failure tryOnce();
    void release();

    QString m_path;
#ifdef Q_OS_WIN
    void *m_handle;
#else
    int m_fd = -1;
    SignalCleanup m_signalCleanup;
#endif
};
