#include "core/internal/fs/UpdateLock.h"

#include "core/internal/fs/CheckedFile.h"
#include "core/internal/fs/CheckedFilePlatform.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <utility>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef Q_OS_WIN

UpdateLock::UpdateLock(const QString &path)
    : m_path(QDir::toNativeSeparators(path)), m_handle(INVALID_HANDLE_VALUE)
{}

UpdateLock::Attempt UpdateLock::tryOnce()
{
    m_handle = CreateFileW(reinterpret_cast<const wchar_t *>(m_path.utf16()),
                           GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (m_handle != INVALID_HANDLE_VALUE)
        return Attempt::Taken;
    const DWORD error = GetLastError();
    // A holder's lock file, or one being deleted as its holder ends.
    if (error == ERROR_SHARING_VIOLATION)
        return Attempt::Busy;
    if (error == ERROR_ACCESS_DENIED &&
        !(GetFileAttributesW(reinterpret_cast<const wchar_t *>(m_path.utf16())) &
          FILE_ATTRIBUTE_DIRECTORY))
        return Attempt::Busy;
    SetLastError(error);
    m_accessRefused = CheckedFilePlatform::lastErrorRefusedAccess();
    m_error = lastSystemError();
    return Attempt::Failed;
}

// Open without sharing, the lock file cannot be removed while it is held.
bool UpdateLock::stillHeld() const
{
    return m_handle != INVALID_HANDLE_VALUE;
}

void UpdateLock::release()
{
    if (m_handle != INVALID_HANDLE_VALUE)
        CloseHandle(std::exchange(m_handle, INVALID_HANDLE_VALUE));
}

#else

UpdateLock::UpdateLock(const QString &path) : m_path(path) {}

UpdateLock::Attempt UpdateLock::tryOnce()
{
    const QByteArray native = QFile::encodeName(m_path);
    // Never through a link, never blocking on a FIFO; a lock file left by a holder of another
    // user can still be locked through a read-only descriptor.
    const int flags = O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int fd = ::open(native.constData(), O_RDWR | flags, 0644);
    if (fd < 0 && errno == EACCES)
        fd = ::open(native.constData(), O_RDONLY | flags, 0644);
    if (fd < 0) {
        m_accessRefused = CheckedFilePlatform::lastErrorRefusedAccess();
        m_error = errno == ELOOP ? QStringLiteral("it is a symbolic link") : lastSystemError();
        return Attempt::Failed;
    }
    struct stat held;
    if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
        m_error = QStringLiteral("it is not a regular file");
        ::close(fd);
        return Attempt::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK || error == EINTR)
            return Attempt::Busy;
        errno = error;
        m_error = lastSystemError();
        return Attempt::Failed;
    }
    // The previous holder removes its lock file before it lets go: a lock on a file that is no
    // longer at the path locks nothing, and the next try opens the file that is.
    struct stat named;
    if (::lstat(native.constData(), &named) != 0 || named.st_dev != held.st_dev ||
        named.st_ino != held.st_ino) {
        ::close(fd);
        return Attempt::Busy;
    }
    m_fd = fd;
    m_signalCleanup.arm(m_path, SignalCleanup::Stage::Lock);
    return Attempt::Taken;
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
    // Removed while still held, so that nobody can lock the file in between and then lose it.
    // In a shared folder another user's leftover may not be ours to remove: it stays, harmless.
    // A signal must not remove it after that, when it may be the next holder's.
    m_signalCleanup.disarm();
    ::unlink(QFile::encodeName(m_path).constData());
    ::close(std::exchange(m_fd, -1));
}

#endif

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
