#include "core/internal/fs/AccessDenial.h"

#include <QDir>
#include <QStringList>

#include <windows.h>

namespace {

const wchar_t *nativePath(const QString &native)
{
    return reinterpret_cast<const wchar_t *>(native.utf16());
}

QString deniedReason(const QString &what, const QString &path)
{
    return QStringLiteral("permission denied: access to %1 %2 is denied to this user; run as a "
                          "user allowed into it or as an administrator")
        .arg(what, QDir::toNativeSeparators(path));
}

bool accessDenied(const QString &path)
{
    const QString native = QDir::toNativeSeparators(path);
    return GetFileAttributesW(nativePath(native)) == INVALID_FILE_ATTRIBUTES &&
           GetLastError() == ERROR_ACCESS_DENIED;
}

} // namespace

// Windows lets a user pass through folders it may not list, so a folder refuses the way only
// where its entries cannot be looked at.
QString unreachableReason(const QString &path)
{
    const QString absolute = QDir::cleanPath(QDir(path).absolutePath());
    if (absolute.startsWith(QStringLiteral("//")))
        return {}; // a network share's own folders are not to be walked as a drive's
    const QStringList parts = absolute.split(u'/');
    QString folder = parts.first() + u'/';
    for (qsizetype at = 1; at < parts.size(); ++at) {
        const QString next = QDir(folder).filePath(parts[at]);
        if (accessDenied(next))
            return deniedReason(QStringLiteral("the folder"), folder);
        folder = next;
    }
    return {};
}

QString refusedAccessReason(const QString &path, bool forWriting)
{
    const QString native = QDir::toNativeSeparators(path);
    const HANDLE handle = CreateFileW(nativePath(native), forWriting ? GENERIC_WRITE : GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        return {};
    }
    if (GetLastError() != ERROR_ACCESS_DENIED)
        return {};
    const DWORD attributes = GetFileAttributesW(nativePath(native));
    const bool folder =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    return deniedReason(folder ? QStringLiteral("the folder") : QStringLiteral("the file"), path);
}
