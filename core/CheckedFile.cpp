#include "CheckedFile.h"

#include "FaultInjection.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <filesystem>
#include <system_error>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QString injectedReason = QStringLiteral("Input/output error");

std::filesystem::path nativePath(const QString &path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

QString reasonOf(const std::error_code &code)
{
    return QString::fromLocal8Bit(code.message());
}

#ifdef Q_OS_WIN
// Windows refuses to replace a file that another program holds open without delete sharing (the
// game server reading its accounts, a virus scanner, a backup). Such a hold is mostly brief, so a
// few short retries come before the failure. The move must never become a copy: without
// MOVEFILE_COPY_ALLOWED a move to another volume fails, and the caller renames from beside the
// target instead.
bool moveOver(const QString &from, const QString &to, bool &crossDevice, QString &error)
{
    constexpr int retries = 6;
    constexpr DWORD pauseMilliseconds = 50;
    const std::wstring source = QDir::toNativeSeparators(from).toStdWString();
    const std::wstring target = QDir::toNativeSeparators(to).toStdWString();
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(source.c_str(), target.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD code = GetLastError();
        const bool held = code == ERROR_SHARING_VIOLATION || code == ERROR_ACCESS_DENIED ||
                          code == ERROR_LOCK_VIOLATION;
        if (held && attempt < retries) {
            Sleep(pauseMilliseconds);
            continue;
        }
        crossDevice = code == ERROR_NOT_SAME_DEVICE;
        error = qt_error_string(int(code));
        if (held)
            error += QStringLiteral(" (another program may hold the file open)");
        return false;
    }
}
#endif

} // namespace

CheckedFile::CheckedFile(const QString &path) : m_file(path) {}

CheckedFile::~CheckedFile()
{
    m_file.close();
}

bool CheckedFile::fail(const QString &reason)
{
    m_error = reason;
    return false;
}

bool CheckedFile::injectedFailure()
{
    if (!FaultInjection::nextOperationFails())
        return false;
    m_error = injectedReason;
    return true;
}

bool CheckedFile::openForReading()
{
    if (injectedFailure())
        return false;
    if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return fail(m_file.errorString());
    return true;
}

bool CheckedFile::createForWriting()
{
    if (injectedFailure())
        return false;
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return fail(m_file.errorString());
    return true;
}

qint64 CheckedFile::read(char *buffer, qint64 size)
{
    if (injectedFailure())
        return -1;
    const qint64 got = m_file.read(buffer, size);
    if (got < 0)
        fail(m_file.errorString());
    return got;
}

bool CheckedFile::write(QByteArrayView bytes)
{
    if (injectedFailure())
        return false;
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 written = m_file.write(bytes.data() + done, bytes.size() - done);
        if (written <= 0)
            return fail(m_file.errorString().isEmpty() ? QStringLiteral("the disk may be full")
                                                       : m_file.errorString());
        done += written;
    }
    return true;
}

bool CheckedFile::syncToDisk()
{
    if (injectedFailure())
        return false;
#ifdef Q_OS_WIN
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(m_file.handle()));
    if (!FlushFileBuffers(handle))
        return fail(QStringLiteral("the file could not be written to disk"));
#else
    if (::fsync(m_file.handle()) != 0)
        return fail(reasonOf(std::error_code(errno, std::generic_category())));
#endif
    return true;
}

bool CheckedFile::copyAccessFrom(const QString &otherPath)
{
    if (injectedFailure())
        return false;
    std::error_code code;
    const auto permissions = std::filesystem::status(nativePath(otherPath), code).permissions();
    if (!code)
        std::filesystem::permissions(nativePath(path()), permissions,
                                     std::filesystem::perm_options::replace, code);
    if (code)
        return fail(reasonOf(code));
#ifndef Q_OS_WIN
    // Only a privileged process may give a file away; others keep their own ownership.
    struct stat other;
    if (::stat(QFile::encodeName(otherPath).constData(), &other) == 0 &&
        ::fchown(m_file.handle(), other.st_uid, other.st_gid) != 0 && errno != EPERM) {
        return fail(reasonOf(std::error_code(errno, std::generic_category())));
    }
#endif
    return true;
}

bool CheckedFile::close()
{
    if (!m_file.isOpen())
        return true;
    if (injectedFailure()) {
        m_file.close();
        return false;
    }
    m_file.close();
    if (m_file.error() != QFileDevice::NoError)
        return fail(m_file.errorString());
    return true;
}

bool removeFile(const QString &path, QString &error)
{
    // One retry: on Windows a virus scanner may hold a fresh file for a moment.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (FaultInjection::nextOperationFails()) {
            error = injectedReason;
            continue;
        }
        std::error_code code;
        std::filesystem::remove(nativePath(path), code);
        if (!code)
            return true;
        error = reasonOf(code);
    }
    return false;
}

bool replaceFile(const QString &from, const QString &to, bool &crossDevice, QString &error)
{
    crossDevice = false;
    if (FaultInjection::nextOperationFails()) {
        error = injectedReason;
        return false;
    }
#ifdef Q_OS_WIN
    return moveOver(from, to, crossDevice, error);
#else
    std::error_code code;
    std::filesystem::rename(nativePath(from), nativePath(to), code);
    if (!code)
        return true;
    crossDevice = code == std::errc::cross_device_link;
    error = reasonOf(code);
    return false;
#endif
}

void syncFolder(const QString &folder)
{
#ifndef Q_OS_WIN
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(folder);
#endif
}
