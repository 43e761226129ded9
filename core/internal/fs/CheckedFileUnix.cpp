#include "core/internal/fs/CheckedFile.h"

#include "core/internal/fs/CheckedFilePlatform.h"
#include "core/internal/fs/CheckedFileUnix.h"
#include "core/internal/fs/FileOperationHooks.h"

#include <cerrno>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#endif

using namespace CheckedFilePlatform;
using CheckedFileUnix::nativePath;

namespace {

#ifdef Q_OS_LINUX
constexpr qint64 writeBackStep = 8 * 1024 * 1024;
#endif

FileIdentity identityOf(const struct stat &info)
{
    return {quint64(info.st_dev), quint64(info.st_ino)};
}

qint64 nanoseconds(const struct timespec &time)
{
    return qint64(time.tv_sec) * 1000000000 + qint64(time.tv_nsec);
}

FileState stateOf(const struct stat &info)
{
    FileState state;
    state.identity = identityOf(info);
    state.size = qint64(info.st_size);
    state.modified = nanoseconds(info.st_mtim);
    state.changed = nanoseconds(info.st_ctim);
    state.links = quint64(info.st_nlink);
    return state;
}

} // namespace

QString lastSystemError()
{
    return QString::fromLocal8Bit(std::generic_category().message(errno));
}

CheckedFile::CheckedFile(const QString &path) : m_path(path) {}

CheckedFile::~CheckedFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool CheckedFile::isOpen() const
{
    return m_fd >= 0;
}

Failure CheckedFile::openForReading()
{
    if (Failure failure = injectedFailure())
        return failure;
    m_fd = ::open(nativePath(m_path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return lastSystemFailure();
    struct stat info;
    if (::fstat(m_fd, &info) != 0)
        return lastSystemFailure();
    if (!S_ISREG(info.st_mode))
        return FailureReason(QStringLiteral("it is not a regular file"));
    return std::nullopt;
}

Failure CheckedFile::createPrivate()
{
    if (Failure failure = injectedFailure())
        return failure;
    const QByteArray native = nativePath(m_path);
    for (int attempt = 0; attempt < creationAttempts && m_fd < 0; ++attempt) {
        if (Failure failure = removeFile(m_path))
            return failure;
        m_fd = ::open(native.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      S_IRUSR | S_IWUSR);
        if (m_fd < 0 && errno != EEXIST)
            return lastSystemFailure();
    }
    if (m_fd < 0)
        return FailureReason(QStringLiteral("another program keeps creating a file of that name"));
    m_madeHere = true;
    struct stat info;
    if (::fstat(m_fd, &info) != 0)
        return lastSystemFailure();
    if (!S_ISREG(info.st_mode) || info.st_nlink != 1)
        return FailureReason(QStringLiteral("another name was given to the new file"));
    m_created = identityOf(info);
    return std::nullopt;
}

Result<qint64> CheckedFile::read(char *buffer, qint64 size)
{
    if (Failure failure = injectedFailure())
        return *failure;
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, size_t(size));
        if (got >= 0)
            return qint64(got);
        if (errno != EINTR)
            return lastSystemFailure();
    }
}

Result<qint64> CheckedFile::readAtOnce(qint64 offset, char *buffer, qint64 size) const
{
    for (;;) {
        const ssize_t got = ::pread(m_fd, buffer, size_t(size), off_t(offset));
        if (got >= 0)
            return qint64(got);
        if (errno != EINTR)
            return lastSystemFailure();
    }
}

Failure CheckedFile::reopenForReading()
{
    if (Failure failure = injectedFailure())
        return failure;
    m_fd = ::open(nativePath(m_path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return lastSystemFailure();
    struct stat info;
    if (::fstat(m_fd, &info) != 0)
        return lastSystemFailure();
    if (!m_madeHere || !S_ISREG(info.st_mode) || !isCreatedFile(identityOf(info)))
        return FailureReason(QStringLiteral("it was replaced by another program"));
    return std::nullopt;
}

Failure CheckedFile::writeAll(QByteArrayView bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(m_fd, bytes.data() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return lastSystemFailure();
        if (written == 0)
            return FailureReason(QStringLiteral("the disk may be full"));
        done += written;
        wrote(written);
    }
    return std::nullopt;
}

// A large copy gets the disk writing behind it as it goes, so that the sync at the end waits for
// the last few megabytes rather than for the whole file. It only starts the writing: whether it
// succeeded is for syncToDisk() to tell, and a failure here would show there too.
void CheckedFile::wrote(qint64 count)
{
#ifdef Q_OS_LINUX
    m_notWrittenBack += count;
    if (m_notWrittenBack < writeBackStep)
        return;
    m_notWrittenBack = 0;
    ::sync_file_range(m_fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#else
    Q_UNUSED(count);
#endif
}

Failure CheckedFile::syncToDisk()
{
    if (Failure failure = injectedFailure())
        return failure;
    if (::fsync(m_fd) == 0 && did(FileOperationHooks::Step::FileFlushed))
        return std::nullopt;
    return lastSystemFailure();
}

Failure CheckedFile::close()
{
    if (!isOpen())
        return std::nullopt;
    const Failure injected = injectedFailure();
    const int result = ::close(std::exchange(m_fd, -1));
    if (injected)
        return injected;
    if (result != 0)
        return lastSystemFailure();
    return std::nullopt;
}

bool CheckedFile::stillNamesCreatedFile() const
{
    struct stat info;
    return ::lstat(nativePath(m_path).constData(), &info) == 0 && S_ISREG(info.st_mode) &&
           isCreatedFile(identityOf(info));
}

Failure CheckedFile::replace(const QString &target)
{
    if (Failure failure = injectedFailure())
        return failure;
    if (!stillNamesCreatedFile())
        return FailureReason(QStringLiteral("%1 was replaced by another program").arg(m_path));
    if (::rename(nativePath(m_path).constData(), nativePath(target).constData()) != 0) {
        if (errno == EXDEV)
            return FailureReason(lastSystemError(), FailureReason::Unsupported);
        return lastSystemFailure();
    }
    did(FileOperationHooks::Step::Renamed);
    return std::nullopt;
}

Result<FileState> CheckedFile::state()
{
    if (Failure failure = injectedFailure())
        return *failure;
    struct stat info;
    if (::fstat(m_fd, &info) != 0)
        return lastSystemFailure();
    return stateOf(info);
}

Result<FileState> fileStateAt(const QString &path)
{
    struct stat info;
    if (::stat(nativePath(path).constData(), &info) != 0)
        return lastSystemFailure();
    return stateOf(info);
}

Result<qint64> CheckedFile::size()
{
    if (Failure failure = injectedFailure())
        return *failure;
    struct stat info;
    if (::fstat(m_fd, &info) != 0)
        return lastSystemFailure();
    return qint64(info.st_size);
}

Failure CheckedFile::seek(qint64 offset)
{
    if (Failure failure = injectedFailure())
        return failure;
    if (::lseek(m_fd, off_t(offset), SEEK_SET) != off_t(offset))
        return lastSystemFailure();
    return std::nullopt;
}

#ifdef Q_OS_LINUX
namespace {

// What the kernel answers when it cannot share or copy between these two files at all, as
// opposed to a failure of the disk: the plainer way is then taken.
bool refusedBySystem(int error)
{
    return error == EXDEV || error == EINVAL || error == EOPNOTSUPP || error == ENOTSUP ||
           error == ENOSYS || error == ENOTTY;
}

} // namespace
#endif

Failure CheckedFile::cloneFrom(CheckedFile &source, qint64 length)
{
    if (Failure failure = injectedFailure())
        return failure;
#ifdef Q_OS_LINUX
    if (::ioctl(m_fd, FICLONE, source.m_fd) != 0) {
        // A refusal is no error, and is common: its text is not worth looking up.
        if (refusedBySystem(errno))
            return FailureReason(QString(), FailureReason::Unsupported);
        return lastSystemFailure();
    }
    struct stat info;
    if (::fstat(m_fd, &info) != 0)
        return lastSystemFailure();
    if (qint64(info.st_size) != length)
        return FailureReason(QStringLiteral("the account file changed while it was copied"));
    return seek(length);
#else
    Q_UNUSED(source);
    Q_UNUSED(length);
    return FailureReason(QStringLiteral("files cannot be cloned here"), FailureReason::Unsupported);
#endif
}

Failure CheckedFile::copyFrom(CheckedFile &source, qint64 length, qint64 offset)
{
    if (Failure failure = injectedFailure())
        return failure;
    const qint64 end = offset + length;
    qint64 done = offset;
#ifdef Q_OS_LINUX
    // copy_file_range shares blocks by itself where the file system can, and otherwise copies
    // inside the kernel; sendfile is the older way of the latter. Each step ends where the disk is
    // next set writing, also for a copy made in several ranges, so that the final flush finds no
    // more left than after a copy in one.
    while (done < end) {
        loff_t from = done;
        const ssize_t copied =
            ::copy_file_range(source.m_fd, &from, m_fd, nullptr,
                              size_t(qMin(end - done, writeBackStep - m_notWrittenBack)), 0);
        if (copied == 0)
            return FailureReason(shrankReason());
        if (copied > 0) {
            done += copied;
            wrote(copied);
        } else if (refusedBySystem(errno))
            break;
        else if (errno != EINTR)
            return lastSystemFailure();
    }
    while (done < end) {
        off_t from = off_t(done);
        const ssize_t sent = ::sendfile(m_fd, source.m_fd, &from,
                                        size_t(qMin(end - done, writeBackStep - m_notWrittenBack)));
        if (sent == 0)
            return FailureReason(shrankReason());
        if (sent > 0) {
            done += sent;
            wrote(sent);
        } else if (refusedBySystem(errno))
            break;
        else if (errno != EINTR)
            return lastSystemFailure();
    }
#endif
    return copyThroughBuffer(source, done, end);
}

bool makeHardLink(const QString &existing, const QString &link)
{
    return ::link(nativePath(existing).constData(), nativePath(link).constData()) == 0;
}

bool mayShareFileSystem(const QString &a, const QString &b)
{
    struct stat first, second;
    if (::stat(nativePath(a).constData(), &first) != 0 ||
        ::stat(nativePath(b).constData(), &second) != 0)
        return true;
    return first.st_dev == second.st_dev;
}

bool CheckedFilePlatform::lastErrorRefusedAccess()
{
    return errno == EACCES || errno == EPERM || errno == EROFS;
}

Failure CheckedFilePlatform::removeOnce(const QString &path)
{
    const QByteArray native = nativePath(path);
    struct stat info;
    if (::lstat(native.constData(), &info) != 0)
        return errno == ENOENT ? Failure() : lastSystemFailure();
    if (S_ISDIR(info.st_mode))
        return QStringLiteral("%1 is a folder").arg(path);
    if (::unlink(native.constData()) == 0 || errno == ENOENT)
        return std::nullopt;
    return lastSystemFailure();
}

Failure CheckedFilePlatform::renameFileOnce(const QString &from, const QString &to)
{
    if (::rename(nativePath(from).constData(), nativePath(to).constData()) != 0)
        return lastSystemFailure();
    return std::nullopt;
}

Failure CheckedFilePlatform::syncFolderOnce(const QString &folder)
{
    const int fd = ::open(nativePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return lastSystemFailure();
    // Some file systems keep no folder to flush and say so; that is no failure of the disk.
    Failure failure;
    if ((::fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP) ||
        !did(FileOperationHooks::Step::FolderFlushed, folder))
        failure = lastSystemFailure();
    ::close(fd);
    return failure;
}
