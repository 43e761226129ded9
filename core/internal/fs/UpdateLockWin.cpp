#include "core/internal/fs/UpdateLock.h"

#include "core/internal/fs/CheckedFile.h"
#include "core/internal/fs/CheckedFilePlatform.h"

#include <QDir>

#include <utility>

#include <windows.h>

UpdateLock::UpdateLock(const QString &path)
    : m_path(QDir::toNativeSeparators(path)), m_handle(INVALID_HANDLE_VALUE)
{}

Failure UpdateLock::tryOnce()
{
    m_handle = CreateFileW(reinterpret_cast<const wchar_t *>(m_path.utf16()),
                           GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (m_handle != INVALID_HANDLE_VALUE)
        return std::nullopt;
    const DWORD error = GetLastError();
    // A holder's lock file, or one being deleted as its holder ends.
    if (error == ERROR_SHARING_VIOLATION)
        return FailureReason(QString(), FailureReason::Busy);
    if (error == ERROR_ACCESS_DENIED &&
        !(GetFileAttributesW(reinterpret_cast<const wchar_t *>(m_path.utf16())) &
          FILE_ATTRIBUTE_DIRECTORY))
        return FailureReason(QString(), FailureReason::Busy);
    SetLastError(error);
    return lastSystemFailure();
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
