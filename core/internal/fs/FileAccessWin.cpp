#include "core/internal/fs/CheckedFile.h"

#include <QScopeGuard>

#include <windows.h>

#include <aclapi.h>

namespace {

// What the operator may have set on the account file, and the new file keeps.
constexpr DWORD keptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                 FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                 FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

} // namespace

// A file keeps the security it was created with when it moves within a volume, and entries
// set on the old file itself (the game server's service account, say) would be lost either
// way: the copy, by now beside the old file, takes its security descriptor as it is, with its
// inherited entries and whether it inherits at all. The owner only where allowed (another
// user's file takes backup rights to give away), as on POSIX systems.
Failure CheckedFile::copyAccessFrom(const CheckedFile &other)
{
    if (Failure failure = injectedFailure())
        return failure;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = GetSecurityInfo(other.m_handle, SE_FILE_OBJECT,
                                        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                            DACL_SECURITY_INFORMATION,
                                        nullptr, nullptr, nullptr, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return lastSystemFailure();
    }
    const auto freeDescriptor = qScopeGuard([descriptor] { LocalFree(descriptor); });
    if (!SetKernelObjectSecurity(m_handle,
                                 OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                     DACL_SECURITY_INFORMATION,
                                 descriptor) &&
        (GetLastError() != ERROR_INVALID_OWNER ||
         !SetKernelObjectSecurity(m_handle, GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                  descriptor)))
        return lastSystemFailure();

    BY_HANDLE_FILE_INFORMATION old;
    if (!GetFileInformationByHandle(other.m_handle, &old))
        return lastSystemFailure();
    FILE_BASIC_INFO basic{}; // times left as they are
    basic.FileAttributes = old.dwFileAttributes & keptAttributes;
    if (basic.FileAttributes == 0)
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (!SetFileInformationByHandle(m_handle, FileBasicInfo, &basic, sizeof basic))
        return lastSystemFailure();
    return std::nullopt;
}

// Windows' read-only attribute makes a rename over the file fail with a plain "access denied".
QString CheckedFile::unchangeableReason() const
{
    FILE_BASIC_INFO basic;
    if (GetFileInformationByHandleEx(m_handle, FileBasicInfo, &basic, sizeof basic) &&
        (basic.FileAttributes & FILE_ATTRIBUTE_READONLY))
        return QStringLiteral("it is marked read-only; clear the mark in its properties first");
    return {};
}
