#include "core/internal/CheckedFile.h"

#include "core/FileOperationHooks.h"

#include <QDir>
#include <QFile>
#include <QThread>

#include <cerrno>
#include <system_error>
#include <utility>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#endif

namespace {

const QString injectedReason = QStringLiteral("Input/output error");

constexpr qint64 copyChunkSize = 256 * 1024;
#ifdef Q_OS_LINUX
constexpr qint64 writeBackStep = 8 * 1024 * 1024;
#endif

QString shrankReason()
{
    return QStringLiteral("the account file became shorter while it was copied");
}

// Someone keeps putting a file where ours is to be created.
constexpr int creationAttempts = 3;

#ifdef Q_OS_WIN
const wchar_t *nativePath(const QString &path)
{
    return reinterpret_cast<const wchar_t *>(path.utf16());
}

FileIdentity identityOf(const BY_HANDLE_FILE_INFORMATION &info)
{
    return {info.dwVolumeSerialNumber, (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

// Windows refuses to rename over or delete a file that another program (the game server, a
// virus scanner) has open without delete sharing; such holds are usually short.
bool isSharingError(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_LOCK_VIOLATION;
}

template <typename Step> bool retryWhileShared(Step step)
{
    for (int attempt = 0;; ++attempt) {
        if (step())
            return true;
        const DWORD error = GetLastError();
        if (attempt == 6 || !isSharingError(error))
            return false;
        QThread::msleep(50);
        SetLastError(error);
    }
}
#else
QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

FileIdentity identityOf(const struct stat &info)
{
    return {quint64(info.st_dev), quint64(info.st_ino)};
}
#endif

} // namespace

QString lastSystemError()
{
#ifdef Q_OS_WIN
    return QString::fromLocal8Bit(std::system_category().message(int(GetLastError())));
#else
    return QString::fromLocal8Bit(std::generic_category().message(errno));
#endif
}

#ifdef Q_OS_WIN
CheckedFile::CheckedFile(const QString &path)
    : m_path(QDir::toNativeSeparators(path)), m_handle(INVALID_HANDLE_VALUE)
{}
#else
CheckedFile::CheckedFile(const QString &path) : m_path(path) {}
#endif

CheckedFile::~CheckedFile()
{
#ifdef Q_OS_WIN
    if (m_handle != INVALID_HANDLE_VALUE)
        CloseHandle(m_handle);
#else
    if (m_fd >= 0)
        ::close(m_fd);
#endif
}

bool CheckedFile::fail(const QString &reason)
{
    m_error = reason;
    return false;
}

bool CheckedFile::failFromSystem()
{
    return fail(lastSystemError());
}

bool CheckedFile::injectedFailure()
{
    if (!FileOperationHooks::current().failNextOperation())
        return false;
    m_error = injectedReason;
    return true;
}

bool CheckedFile::isCreatedFile(const FileIdentity &identity) const
{
    return m_madeHere && identity == m_created;
}

bool CheckedFile::isOpen() const
{
#ifdef Q_OS_WIN
    return m_handle != INVALID_HANDLE_VALUE;
#else
    return m_fd >= 0;
#endif
}

#ifdef Q_OS_WIN

bool CheckedFile::openForReading()
{
    if (injectedFailure())
        return false;
    m_handle = CreateFileW(
        nativePath(m_path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (m_handle == INVALID_HANDLE_VALUE)
        return failFromSystem();
    if (GetFileType(m_handle) != FILE_TYPE_DISK)
        return fail(QStringLiteral("it is not a regular file"));
    return true;
}

bool CheckedFile::createPrivate()
{
    if (injectedFailure())
        return false;
    for (int attempt = 0; attempt < creationAttempts; ++attempt) {
        QString reason;
        if (!removeFile(m_path, reason))
            return fail(reason);
        // CREATE_NEW never opens what is already there, a link included.
        m_handle = CreateFileW(nativePath(m_path), GENERIC_READ | GENERIC_WRITE | DELETE,
                               FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (m_handle != INVALID_HANDLE_VALUE)
            break;
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            return failFromSystem();
    }
    if (m_handle == INVALID_HANDLE_VALUE)
        return fail(QStringLiteral("another program keeps creating a file of that name"));
    m_madeHere = true;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(m_handle, &info))
        return failFromSystem();
    if (info.nNumberOfLinks != 1)
        return fail(QStringLiteral("another name was given to the new file"));
    m_created = identityOf(info);
    return true;
}

qint64 CheckedFile::read(char *buffer, qint64 size)
{
    if (injectedFailure())
        return -1;
    DWORD got = 0;
    const DWORD want = DWORD(qMin<qint64>(size, 1 << 30));
    if (!ReadFile(m_handle, buffer, want, &got, nullptr)) {
        failFromSystem();
        return -1;
    }
    return got;
}

qint64 CheckedFile::readAt(qint64 offset, char *buffer, qint64 size, QString &error) const
{
    if (FileOperationHooks::current().failNextOperation()) {
        error = injectedReason;
        return -1;
    }
    OVERLAPPED at{};
    at.Offset = DWORD(quint64(offset));
    at.OffsetHigh = DWORD(quint64(offset) >> 32);
    DWORD got = 0;
    const DWORD want = DWORD(qMin<qint64>(size, 1 << 30));
    if (!ReadFile(m_handle, buffer, want, &got, &at)) {
        if (GetLastError() == ERROR_HANDLE_EOF)
            return 0;
        error = lastSystemError();
        return -1;
    }
    return got;
}

bool CheckedFile::reopenForReading()
{
    if (injectedFailure())
        return false;
    m_handle =
        CreateFileW(nativePath(m_path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (m_handle == INVALID_HANDLE_VALUE)
        return failFromSystem();
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(m_handle, &info))
        return failFromSystem();
    if (!m_madeHere || !isCreatedFile(identityOf(info)))
        return fail(QStringLiteral("it was replaced by another program"));
    return true;
}

bool CheckedFile::write(QByteArrayView bytes)
{
    return !injectedFailure() && writeAll(bytes);
}

bool CheckedFile::writeAll(QByteArrayView bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const DWORD want = DWORD(qMin<qint64>(bytes.size() - done, 1 << 30));
        DWORD written = 0;
        if (!WriteFile(m_handle, bytes.data() + done, want, &written, nullptr))
            return failFromSystem();
        if (written == 0)
            return fail(QStringLiteral("the disk may be full"));
        done += written;
    }
    return true;
}

bool CheckedFile::syncToDisk()
{
    if (injectedFailure())
        return false;
    return FlushFileBuffers(m_handle) || failFromSystem();
}

// Access on Windows follows the folder the file lies in.
bool CheckedFile::copyAccessFrom(const CheckedFile &)
{
    return !injectedFailure();
}

bool CheckedFile::close()
{
    if (!isOpen())
        return true;
    const bool failed = injectedFailure();
    const bool closed = CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    if (failed)
        return false;
    return closed || failFromSystem();
}

bool CheckedFile::stillNamesCreatedFile() const
{
    const HANDLE handle =
        CreateFileW(nativePath(m_path), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(handle, &info);
    CloseHandle(handle);
    return known && isCreatedFile(identityOf(info));
}

bool CheckedFile::replace(const QString &target, bool &crossDevice)
{
    crossDevice = false;
    if (injectedFailure())
        return false;
    if (!stillNamesCreatedFile())
        return fail(QStringLiteral("%1 was replaced by another program").arg(m_path));
    const QString to = QDir::toNativeSeparators(target);
    if (retryWhileShared([&] {
            return MoveFileExW(nativePath(m_path), nativePath(to),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        }))
        return true;
    const DWORD error = GetLastError();
    crossDevice = error == ERROR_NOT_SAME_DEVICE;
    failFromSystem();
    if (isSharingError(error))
        m_error += QStringLiteral(" (another program may hold the file open)");
    return false;
}

qint64 CheckedFile::size()
{
    if (injectedFailure())
        return -1;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(m_handle, &size)) {
        failFromSystem();
        return -1;
    }
    return size.QuadPart;
}

bool CheckedFile::seek(qint64 offset)
{
    if (injectedFailure())
        return false;
    LARGE_INTEGER to;
    to.QuadPart = offset;
    return SetFilePointerEx(m_handle, to, nullptr, FILE_BEGIN) || failFromSystem();
}

bool CheckedFile::cloneFrom(CheckedFile &, qint64, bool &refused)
{
    refused = true;
    return fail(QStringLiteral("files cannot be cloned here"));
}

bool CheckedFile::copyFrom(CheckedFile &source, qint64 length)
{
    return !injectedFailure() && copyThroughBuffer(source, 0, length);
}

bool CheckedFile::copyThroughBuffer(CheckedFile &source, qint64 from, qint64 length)
{
    QByteArray buffer(qMin(length - from, copyChunkSize), Qt::Uninitialized);
    while (from < length) {
        OVERLAPPED at{};
        at.Offset = DWORD(from);
        at.OffsetHigh = DWORD(quint64(from) >> 32);
        DWORD got = 0;
        const DWORD want = DWORD(qMin<qint64>(buffer.size(), length - from));
        if (!ReadFile(source.m_handle, buffer.data(), want, &got, &at) &&
            GetLastError() != ERROR_HANDLE_EOF)
            return failFromSystem();
        if (got == 0)
            return fail(shrankReason());
        if (!writeAll(QByteArrayView(buffer.constData(), got)))
            return false;
        from += got;
    }
    return true;
}

bool mayShareFileSystem(const QString &, const QString &)
{
    return true; // a failed rename tells
}

namespace {

bool removeOnce(const QString &path, QString &error)
{
    const QString native = QDir::toNativeSeparators(path);
    const DWORD attributes = GetFileAttributesW(nativePath(native));
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND)
            return true;
        error = lastSystemError();
        return false;
    }
    const bool folder = attributes & FILE_ATTRIBUTE_DIRECTORY;
    if (folder && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        error = QStringLiteral("%1 is a folder").arg(native);
        return false;
    }
    if (retryWhileShared([&] {
            return folder ? RemoveDirectoryW(nativePath(native)) : DeleteFileW(nativePath(native));
        }))
        return true;
    error = lastSystemError();
    return false;
}

} // namespace

void syncFolder(const QString &)
{
    // MOVEFILE_WRITE_THROUGH has already made the rename durable.
}

#else

bool CheckedFile::openForReading()
{
    if (injectedFailure())
        return false;
    m_fd = ::open(nativePath(m_path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return failFromSystem();
    struct stat info;
    if (::fstat(m_fd, &info) != 0)
        return failFromSystem();
    if (!S_ISREG(info.st_mode))
        return fail(QStringLiteral("it is not a regular file"));
    return true;
}

bool CheckedFile::createPrivate()
{
    if (injectedFailure())
        return false;
    const QByteArray native = nativePath(m_path);
    for (int attempt = 0; attempt < creationAttempts && m_fd < 0; ++attempt) {
        QString reason;
        if (!removeFile(m_path, reason))
            return fail(reason);
        m_fd = ::open(native.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      S_IRUSR | S_IWUSR);
        if (m_fd < 0 && errno != EEXIST)
            return failFromSystem();
    }
    if (m_fd < 0)
        return fail(QStringLiteral("another program keeps creating a file of that name"));
    m_madeHere = true;
    struct stat info;
    if (::fstat(m_fd, &info) != 0)
        return failFromSystem();
    if (!S_ISREG(info.st_mode) || info.st_nlink != 1)
        return fail(QStringLiteral("another name was given to the new file"));
    m_created = identityOf(info);
    return true;
}

qint64 CheckedFile::read(char *buffer, qint64 size)
{
    if (injectedFailure())
        return -1;
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, size_t(size));
        if (got >= 0)
            return got;
        if (errno != EINTR) {
            failFromSystem();
            return -1;
        }
    }
}

qint64 CheckedFile::readAt(qint64 offset, char *buffer, qint64 size, QString &error) const
{
    if (FileOperationHooks::current().failNextOperation()) {
        error = injectedReason;
        return -1;
    }
    for (;;) {
        const ssize_t got = ::pread(m_fd, buffer, size_t(size), off_t(offset));
        if (got >= 0)
            return got;
        if (errno != EINTR) {
            error = lastSystemError();
            return -1;
        }
    }
}

bool CheckedFile::reopenForReading()
{
    if (injectedFailure())
        return false;
    m_fd = ::open(nativePath(m_path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return failFromSystem();
    struct stat info;
    if (::fstat(m_fd, &info) != 0)
        return failFromSystem();
    if (!m_madeHere || !S_ISREG(info.st_mode) || !isCreatedFile(identityOf(info)))
        return fail(QStringLiteral("it was replaced by another program"));
    return true;
}

bool CheckedFile::write(QByteArrayView bytes)
{
    return !injectedFailure() && writeAll(bytes);
}

bool CheckedFile::writeAll(QByteArrayView bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(m_fd, bytes.data() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return failFromSystem();
        if (written == 0)
            return fail(QStringLiteral("the disk may be full"));
        done += written;
        wrote(written);
    }
    return true;
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

bool CheckedFile::syncToDisk()
{
    if (injectedFailure())
        return false;
    return ::fsync(m_fd) == 0 || failFromSystem();
}

bool CheckedFile::copyAccessFrom(const CheckedFile &other)
{
    if (injectedFailure())
        return false;
    struct stat info;
    if (::fstat(other.m_fd, &info) != 0)
        return failFromSystem();
    // Only a privileged process may give a file away; others keep their own ownership. The
    // owner goes first: changing it may clear the set-id bits that the mode then restores.
    if (::fchown(m_fd, info.st_uid, info.st_gid) != 0 && errno != EPERM)
        return failFromSystem();
    return ::fchmod(m_fd, info.st_mode & 07777) == 0 || failFromSystem();
}

bool CheckedFile::close()
{
    if (!isOpen())
        return true;
    const bool failed = injectedFailure();
    const int result = ::close(std::exchange(m_fd, -1));
    if (failed)
        return false;
    return result == 0 || failFromSystem();
}

bool CheckedFile::stillNamesCreatedFile() const
{
    struct stat info;
    return ::lstat(nativePath(m_path).constData(), &info) == 0 && S_ISREG(info.st_mode) &&
           isCreatedFile(identityOf(info));
}

bool CheckedFile::replace(const QString &target, bool &crossDevice)
{
    crossDevice = false;
    if (injectedFailure())
        return false;
    if (!stillNamesCreatedFile())
        return fail(QStringLiteral("%1 was replaced by another program").arg(m_path));
    if (::rename(nativePath(m_path).constData(), nativePath(target).constData()) == 0)
        return true;
    crossDevice = errno == EXDEV;
    return failFromSystem();
}

qint64 CheckedFile::size()
{
    if (injectedFailure())
        return -1;
    struct stat info;
    if (::fstat(m_fd, &info) != 0) {
        failFromSystem();
        return -1;
    }
    return qint64(info.st_size);
}

bool CheckedFile::seek(qint64 offset)
{
    if (injectedFailure())
        return false;
    return ::lseek(m_fd, off_t(offset), SEEK_SET) == off_t(offset) || failFromSystem();
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

bool CheckedFile::cloneFrom(CheckedFile &source, qint64 length, bool &refused)
{
    refused = false;
    if (injectedFailure())
        return false;
#ifdef Q_OS_LINUX
    if (::ioctl(m_fd, FICLONE, source.m_fd) != 0) {
        // A refusal is no error, and is common: its text is not worth looking up.
        refused = refusedBySystem(errno);
        return refused ? false : failFromSystem();
    }
    struct stat info;
    if (::fstat(m_fd, &info) != 0)
        return failFromSystem();
    if (qint64(info.st_size) != length)
        return fail(QStringLiteral("the account file changed while it was copied"));
    return ::lseek(m_fd, off_t(length), SEEK_SET) == off_t(length) || failFromSystem();
#else
    Q_UNUSED(source);
    Q_UNUSED(length);
    refused = true;
    return fail(QStringLiteral("files cannot be cloned here"));
#endif
}

bool CheckedFile::copyFrom(CheckedFile &source, qint64 length)
{
    if (injectedFailure())
        return false;
    qint64 done = 0;
#ifdef Q_OS_LINUX
    // copy_file_range shares blocks by itself where the file system can, and otherwise copies
    // inside the kernel; sendfile is the older way of the latter.
    while (done < length) {
        loff_t from = done;
        const ssize_t copied = ::copy_file_range(source.m_fd, &from, m_fd, nullptr,
                                                 size_t(qMin(length - done, writeBackStep)), 0);
        if (copied == 0)
            return fail(shrankReason());
        if (copied > 0) {
            done += copied;
            wrote(copied);
        } else if (refusedBySystem(errno))
            break;
        else if (errno != EINTR)
            return failFromSystem();
    }
    while (done < length) {
        off_t from = off_t(done);
        const ssize_t sent =
            ::sendfile(m_fd, source.m_fd, &from, size_t(qMin(length - done, writeBackStep)));
        if (sent == 0)
            return fail(shrankReason());
        if (sent > 0) {
            done += sent;
            wrote(sent);
        } else if (refusedBySystem(errno))
            break;
        else if (errno != EINTR)
            return failFromSystem();
    }
#endif
    return copyThroughBuffer(source, done, length);
}

bool CheckedFile::copyThroughBuffer(CheckedFile &source, qint64 from, qint64 length)
{
    if (from >= length)
        return true;
    QByteArray buffer(qMin(length - from, copyChunkSize), Qt::Uninitialized);
    while (from < length) {
        const size_t want = size_t(qMin<qint64>(buffer.size(), length - from));
        const ssize_t got = ::pread(source.m_fd, buffer.data(), want, off_t(from));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return failFromSystem();
        if (got == 0)
            return fail(shrankReason());
        if (!writeAll(QByteArrayView(buffer.constData(), got)))
            return false;
        from += got;
    }
    return true;
}

bool mayShareFileSystem(const QString &a, const QString &b)
{
    struct stat first, second;
    if (::stat(nativePath(a).constData(), &first) != 0 ||
        ::stat(nativePath(b).constData(), &second) != 0)
        return true;
    return first.st_dev == second.st_dev;
}

namespace {

bool removeOnce(const QString &path, QString &error)
{
    const QByteArray native = nativePath(path);
    struct stat info;
    if (::lstat(native.constData(), &info) != 0) {
        if (errno == ENOENT)
            return true;
        error = lastSystemError();
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        error = QStringLiteral("%1 is a folder").arg(path);
        return false;
    }
    if (::unlink(native.constData()) == 0 || errno == ENOENT)
        return true;
    error = lastSystemError();
    return false;
}

} // namespace

void syncFolder(const QString &folder)
{
    const int fd = ::open(nativePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

#endif

bool removeFile(const QString &path, QString &error)
{
    // One retry: a failed removal leaves a copy of the accounts behind.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (FileOperationHooks::current().failNextOperation())
            error = injectedReason;
        else if (removeOnce(path, error))
            return true;
    }
    return false;
}
