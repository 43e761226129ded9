#include "core/internal/fs/UpdateLock.h"

#include "core/internal/fs/CheckedFile.h"
#include "core/internal/fs/CheckedFilePlatform.h"

#include <QFile>

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

UpdateLock::UpdateLock(const QString &path) : m_path(path) {}

Failure UpdateLock::tryOnce()
{
    const QByteArray native = QFile::encodeName(m_path);
    // Never through a link, never blocking on a FIFO; a lock file left by a holder of another
    // user can still be locked through a read-only descriptor.
    const int flags = O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int fd = ::open(native.constData(), O_RDWR | flags, 0644);
    if (fd < 0 && errno == EACCES)
        fd = ::open(native.constData(), O_RDONLY | flags, 0644);
    if (fd < 0)
        return errno == ELOOP ? FailureReason(QStringLiteral("it is a symbolic link"))
                              : lastSystemFailure();
    struct stat held;
    if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
        ::close(fd);
        return QStringLiteral("it is not a regular file");
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const FailureReason failure = errno == EWOULDBLOCK || errno == EINTR
                                          ? FailureReason(QString(), FailureReason::Busy)
                                          : lastSystemFailure();
        ::close(fd);
        return failure;
    }
    // The previous holder removes its lock file before it lets go: a lock on a file that is no
    // longer at the path locks nothing, and the next try opens the file that is.
    struct stat named;
    if (::lstat(native.constData(), &named) != 0 || named.st_dev != held.st_dev ||
        named.st_ino != held.st_ino) {
        ::close(fd);
        return FailureReason(QString(), FailureReason::Busy);
    }
    m_fd = fd;
    m_signalCleanup.arm(m_path, SignalCleanup::Stage::Lock);
    return std::nullopt;
}

bool UpdateLock::stillHeld() const
{
    struct stat held, named;
    return m_fd >= 0 && ::fstat(m_fd, &held) == 0 &&
           ::lstat(QFile::encodeName(m_path).constData(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

void UpdateLock::release()
{
    if (m_fd < 0)
        return;
    // Removed while still held, so that nobody can lock the file in between and then lose it;
    // but only while it is the file this update locked: one that was removed by hand and made
    // afresh by the next update is that update's lock. In a shared folder another user's
    // leftover may not be ours to remove: it stays, harmless. A signal must not remove it after
    // that, when it may be the next holder's.
    m_signalCleanup.disarm();
    if (stillHeld())
        ::unlink(QFile::encodeName(m_path).constData());
    ::close(std::exchange(m_fd, -1));
}
