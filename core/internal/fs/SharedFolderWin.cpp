#include "core/internal/fs/SharedFolder.h"

#include <QDir>

#include <windows.h>

#include <aclapi.h>

namespace {

// Whether the access list lets the group behind the well-known SID add files or folders.
bool groupMayAdd(PACL acl, WELL_KNOWN_SID_TYPE group)
{
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof sid;
    if (!CreateWellKnownSid(group, nullptr, sid, &sidSize))
        return false;
    TRUSTEE_W trustee{};
    BuildTrusteeWithSidW(&trustee, sid);
    ACCESS_MASK rights = 0;
    return GetEffectiveRightsFromAclW(acl, &trustee, &rights) == ERROR_SUCCESS &&
           (rights & (FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY)) != 0;
}

} // namespace

// The groups every user belongs to: a folder they may add to, such as C:\Users\Public or a
// drive's root, is the Windows counterpart of /tmp.
bool anyoneMayWrite(const QString &folder)
{
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const std::wstring path = QDir::toNativeSeparators(folder).toStdWString();
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &acl, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    // No access list at all grants everything to everyone.
    const bool anyone = acl == nullptr || groupMayAdd(acl, WinWorldSid) ||
                        groupMayAdd(acl, WinAuthenticatedUserSid) ||
                        groupMayAdd(acl, WinBuiltinUsersSid);
    LocalFree(descriptor);
    return anyone;
}
