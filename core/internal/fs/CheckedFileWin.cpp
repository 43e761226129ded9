#include "core/internal/fs/CheckedFile.h"

#include "core/internal/fs/CheckedFilePlatform.h"
#include "core/internal/fs/FileOperationHooks.h"

#include <QDir>
#include <QThread>

#include <system_error>

#include <windows.h>

using namespace CheckedFilePlatform;

namespace {

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

} // namespace

QString lastSystemError()
{
    return QString::fromLocal8Bit(std::system_category().message(int(GetLastError())));
}

CheckedFile::CheckedFile(const QString &path)
    : m_path(QDir::toNativeSeparators(path)), m_handle(INVALID_HANDLE_VALUE)
{}

CheckedFile::~CheckedFile()
{
    if (m_handle != INVALID_HANDLE_VALUE)
        CloseHandle(m_handle);
}

bool CheckedFile::isOpen() const
{
    return m_handle != INVALID_HANDLE_VALUE;
}

Failure CheckedFile::openForReading()
{
    if (Failure failure = injectedFailure())
        return failure;
    m_handle = CreateFileW(
        nativePath(m_path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (m_handle == INVALID_HANDLE_VALUE)
        return lastSystemFailure();
    if (GetFileType(m_handle) != FILE_TYPE_DISK)
        return FailureReason(QStringLiteral("it is not a regular file"));
    return std::nullopt;
}

Failure CheckedFile::createPrivate()
{
    if (Failure failure = injectedFailure())
        return failure;
    for (int attempt = 0; attempt < creationAttempts; ++attempt) {
        if (Failure failure = removeFile(m_path))
            return failure;
        // CREATE_NEW never opens what is already there, a link included.
        m_handle = CreateFileW(nativePath(m_path),
                               GENERIC_READ | GENERIC_WRITE | DELETE | WRITE_DAC | WRITE_OWNER,
                               FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (m_handle != INVALID_HANDLE_VALUE)
            break;
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            return lastSystemFailure();
    }
    if (m_handle == INVALID_HANDLE_VALUE)
        return FailureReason(QStringLiteral("another program keeps creating a file of that name"));
    m_madeHere = true;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(m_handle, &info))
        return lastSystemFailure();
    if (info.nNumberOfLinks != 1)
        return FailureReason(QStringLiteral("another name was given to the new file"));
    m_created = identityOf(info);
    return std::nullopt;
}

Result<qint64> CheckedFile::read(char *buffer, qint64 size)
{
    if (Failure failure = injectedFailure())
        return *failure;
    const Result<qint64> got = readAtOnce(m_readPosition, buffer, size);
    if (got)
        m_readPosition += *got;
    return got;
}

Result<qint64> CheckedFile::readAtOnce(qint64 offset, char *buffer, qint64 size) const
{
    OVERLAPPED at{};
    at.Offset = DWORD(quint64(offset));
    at.OffsetHigh = DWORD(quint64(offset) >> 32);
    DWORD got = 0;
    const DWORD want = DWORD(qMin<qint64>(size, 1 << 30));
    if (!ReadFile(m_handle, buffer, want, &got, &at)) {
        if (GetLastError() == ERROR_HANDLE_EOF)
            return qint64(0);
        return lastSystemFailure();
    }
    return qint64(got);
}

Failure CheckedFile::reopenForReading()
{
    if (Failure failure = injectedFailure())
        return failure;
    m_handle =
        CreateFileW(nativePath(m_path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (m_handle == INVALID_HANDLE_VALUE)
        return lastSystemFailure();
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(m_handle, &info))
        return lastSystemFailure();
    if (!m_madeHere || !isCreatedFile(identityOf(info)))
        return FailureReason(QStringLiteral("it was replaced by another program"));
    return std::nullopt;
}

Failure CheckedFile::writeAll(QByteArrayView bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const DWORD want = DWORD(qMin<qint64>(bytes.size() - done, 1 << 30));
        DWORD written = 0;
        if (!WriteFile(m_handle, bytes.data() + done, want, &written, nullptr))
            return lastSystemFailure();
        if (written == 0)
            return FailureReason(QStringLiteral("the disk may be full"));
        done += written;
    }
    return std::nullopt;
}

Failure CheckedFile::syncToDisk()
{
    if (Failure failure = injectedFailure())
        return failure;
    if (FlushFileBuffers(m_handle) && did(FileOperationHooks::Step::FileFlushed))
        return std::nullopt;
    return lastSystemFailure();
}

Failure CheckedFile::close()
{
    if (!isOpen())
        return std::nullopt;
    const Failure injected = injectedFailure();
    const bool closed = CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    m_readPosition = 0;
    if (injected)
        return injected;
    if (!closed)
        return lastSystemFailure();
    return std::nullopt;
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

Failure CheckedFile::replace(const QString &target)
{
    if (Failure failure = injectedFailure())
        return failure;
    if (!stillNamesCreatedFile())
        return FailureReason(QStringLiteral("%1 was replaced by another program").arg(m_path));
    const QString to = QDir::toNativeSeparators(target);
    if (retryWhileShared([&] {
            return MoveFileExW(nativePath(m_path), nativePath(to),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        })) {
        did(FileOperationHooks::Step::Renamed);
        return std::nullopt;
    }
    const DWORD error = GetLastError();
    FailureReason failure = lastSystemFailure();
    if (error == ERROR_NOT_SAME_DEVICE)
        failure.kind = FailureReason::Unsupported;
    if (isSharingError(error))
        failure.text += QStringLiteral(" (another program may hold the file open)");
    return failure;
}

Result<qint64> CheckedFile::size()
{
    if (Failure failure = injectedFailure())
        return *failure;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(m_handle, &size))
        return lastSystemFailure();
    return qint64(size.QuadPart);
}

Failure CheckedFile::seek(qint64 offset)
{
    if (Failure failure = injectedFailure())
        return failure;
    LARGE_INTEGER to;
    to.QuadPart = offset;
    if (!SetFilePointerEx(m_handle, to, nullptr, FILE_BEGIN))
        return lastSystemFailure();
    m_readPosition = offset;
    return std::nullopt;
}

Failure CheckedFile::cloneFrom(CheckedFile &, qint64)
{
    return FailureReason(QStringLiteral("files cannot be cloned here"), FailureReason::Unsupported);
}

Failure CheckedFile::copyFrom(CheckedFile &source, qint64 length, qint64 offset)
{
    if (Failure failure = injectedFailure())
        return failure;
    return copyThroughBuffer(source, offset, offset + length);
}

bool makeHardLink(const QString &existing, const QString &link)
{
    return CreateHardLinkW(nativePath(QDir::toNativeSeparators(link)),
                           nativePath(QDir::toNativeSeparators(existing)), nullptr) != 0;
}

bool mayShareFileSystem(const QString &, const QString &)
{
    return true; // a failed rename tells
}

Failure CheckedFilePlatform::removeOnce(const QString &path)
{
    const QString native = QDir::toNativeSeparators(path);
    const DWORD attributes = GetFileAttributesW(nativePath(native));
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND)
            return std::nullopt;
        return lastSystemFailure();
    }
    const bool folder = attributes & FILE_ATTRIBUTE_DIRECTORY;
    if (folder && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return QStringLiteral("%1 is a folder").arg(native);
    // A copy that took a read-only account file's attributes, and whatever else lies in its way.
    if (!folder && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(nativePath(native), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
    if (retryWhileShared([&] {
            return folder ? RemoveDirectoryW(nativePath(native)) : DeleteFileW(nativePath(native));
        }))
        return std::nullopt;
    return lastSystemFailure();
}

Failure CheckedFilePlatform::renameFileOnce(const QString &from, const QString &to)
{
    const QString source = QDir::toNativeSeparators(from);
    const QString target = QDir::toNativeSeparators(to);
    if (retryWhileShared([&] {
            return MoveFileExW(nativePath(source), nativePath(target),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        }))
        return std::nullopt;
    return lastSystemFailure();
}

Failure CheckedFilePlatform::syncFolderOnce(const QString &folder)
{
    // MOVEFILE_WRITE_THROUGH has already made the rename durable.
    did(FileOperationHooks::Step::FolderFlushed, folder);
    return std::nullopt;
}

namespace {

qint64 ticks(const FILETIME &time)
{
    return qint64((quint64(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

bool stateOf(HANDLE handle, FileState &state)
{
    BY_HANDLE_FILE_INFORMATION info;
    FILE_BASIC_INFO basic;
    if (!GetFileInformationByHandle(handle, &info) ||
        !GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic))
        return false;
    state.identity = identityOf(info);
    state.size = qint64((quint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    state.modified = ticks(info.ftLastWriteTime) * 100;
    state.changed = qint64(basic.ChangeTime.QuadPart) * 100;
    state.links = info.nNumberOfLinks;
    return true;
}

} // namespace

bool CheckedFilePlatform::lastErrorRefusedAccess()
{
    const DWORD error = GetLastError();
    return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT;
}

Result<FileState> CheckedFile::state()
{
    if (Failure failure = injectedFailure())
        return *failure;
    FileState state;
    if (!stateOf(m_handle, state))
        return lastSystemFailure();
    return state;
}

Result<FileState> fileStateAt(const QString &path)
{
    const HANDLE handle =
        CreateFileW(nativePath(QDir::toNativeSeparators(path)), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return lastSystemFailure();
    FileState state;
    const bool known = stateOf(handle, state);
    const FailureReason failure = lastSystemFailure();
    CloseHandle(handle);
    if (!known)
        return failure;
    return state;
}
