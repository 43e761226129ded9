#include "core/internal/fs/CheckedFile.h"

#include "core/internal/fs/CheckedFileUnix.h"

#include <QList>

#include <cerrno>
#include <cstring>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>
#endif

using CheckedFileUnix::userName;

QString CheckedFileUnix::loginName(uid_t uid)
{
    struct passwd entry, *found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return {};
}

QString CheckedFileUnix::userName(uid_t uid)
{
    const QString name = loginName(uid);
    if (!name.isEmpty())
        return QStringLiteral("%1 (user id %2)").arg(name).arg(uid);
    return QStringLiteral("user id %1").arg(uid);
}

namespace {

#ifdef Q_OS_LINUX
constexpr char accessListName[] = "system.posix_acl_access";

// The access control list of an open file in the kernel's form; empty when it has none.
bool readAccessList(int fd, QByteArray &list)
{
    list.resize(256);
    for (;;) {
        const ssize_t size = ::fgetxattr(fd, accessListName, list.data(), size_t(list.size()));
        if (size >= 0) {
            list.truncate(size);
            return true;
        }
        if (errno == ENODATA || errno == ENOTSUP) {
            list.clear();
            return true;
        }
        if (errno != ERANGE)
            return false;
        list.resize(list.size() * 4);
    }
}
#endif

struct Membership
{
    uid_t user;
    QList<gid_t> groups;
    bool contains(gid_t group) const { return groups.contains(group); }
};

Membership membershipOf(uid_t uid)
{
    Membership member{uid, {}};
    struct passwd entry, *found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) != 0 || !found)
        return member;
    int count = 64;
    QList<gid_t> groups(count);
    if (::getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0) {
        groups.resize(count);
        if (::getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0)
            count = 0;
    }
    groups.resize(count);
    member.groups = groups;
    member.groups.append(found->pw_gid);
    return member;
}

// The rights (rwx bits) that user, not the file's owner, has on a file, as the system decides
// them: a named entry of its access control list, else the entries of the groups it is in, else
// the others' bits.
int rightsOf(const Membership &user, const struct stat &file, const QByteArray &accessList)
{
    const int groupBits = (file.st_mode >> 3) & 7;
    const int otherBits = file.st_mode & 7;
    if (accessList.size() < 4)
        return user.contains(file.st_gid) ? groupBits : otherBits;
    struct Entry
    {
        quint16 tag;
        quint16 rights;
        quint32 id;
    };
    enum : quint16
    {
        NamedUser = 0x02,
        OwningGroup = 0x04,
        NamedGroup = 0x08,
        Mask = 0x10
    };
    QList<Entry> entries;
    int mask = 7;
    for (qsizetype at = 4; at + qsizetype(sizeof(Entry)) <= accessList.size();
         at += sizeof(Entry)) {
        Entry entry;
        std::memcpy(&entry, accessList.constData() + at, sizeof entry);
        if (entry.tag == Mask)
            mask = entry.rights;
        entries.append(entry);
    }
    for (const Entry &entry : entries)
        if (entry.tag == NamedUser && entry.id == user.user)
            return entry.rights & mask;
    int rights = 0;
    bool inAGroup = false;
    for (const Entry &entry : entries) {
        const gid_t group = entry.tag == OwningGroup ? file.st_gid : gid_t(entry.id);
        if ((entry.tag == OwningGroup || entry.tag == NamedGroup) && user.contains(group)) {
            inAGroup = true;
            rights |= entry.rights & mask;
        }
    }
    return inAGroup ? rights : otherBits;
}

// A file the server's user can no longer read and write would look like success to the
// operator and lock the server out of its own accounts. Empty when the owner keeps its access.
QString lostOwnerAccess(int fd, const struct stat &old)
{
    struct stat now;
    if (::fstat(fd, &now) != 0)
        return lastSystemError();
    const int needed = (old.st_mode >> 6) & 06;
    if (now.st_uid == old.st_uid || needed == 0)
        return {};
    QByteArray accessList;
#ifdef Q_OS_LINUX
    if (!readAccessList(fd, accessList))
        return lastSystemError();
#endif
    if ((rightsOf(membershipOf(old.st_uid), now, accessList) & needed) == needed)
        return {};
    return QStringLiteral("the new file cannot be given to the account file's owner %1, and %1 "
                          "would lose its access to it (neither through the file's group nor "
                          "otherwise); run the tool as %1 or as root")
        .arg(userName(old.st_uid));
}

} // namespace

Failure CheckedFile::copyAccessFrom(const CheckedFile &other)
{
    if (Failure failure = injectedFailure())
        return failure;
    struct stat info;
    if (::fstat(other.m_fd, &info) != 0)
        return lastSystemFailure();
    // Only a privileged process may give a file away; others keep their own ownership but may
    // still give it the group they share with the server, through which the server may read
    // it. The owner goes first: changing it may clear the set-id bits that the mode restores.
    if (::fchown(m_fd, info.st_uid, info.st_gid) != 0) {
        if (errno != EPERM)
            return lastSystemFailure();
        if (::fchown(m_fd, uid_t(-1), info.st_gid) != 0 && errno != EPERM)
            return lastSystemFailure();
    }
    if (Failure failure = copyAccessListFrom(other))
        return failure;
    if (::fchmod(m_fd, info.st_mode & 07777) != 0)
        return lastSystemFailure();
    const QString lost = lostOwnerAccess(m_fd, info);
    if (!lost.isEmpty())
        return lost;
    return std::nullopt;
}

// An access control list can let a user in that the permission bits keep out (the server's
// own user, say), and its mask stands where the group bits were; without it the new file would
// shut one out and let another in. A list the copy inherited from its folder goes, so that it
// lets in nobody the account file did not.
Failure CheckedFile::copyAccessListFrom(const CheckedFile &other)
{
#ifdef Q_OS_LINUX
    QByteArray list;
    if (!readAccessList(other.m_fd, list))
        return lastSystemFailure();
    if (list.isEmpty()) {
        if (::fremovexattr(m_fd, accessListName) != 0 && errno != ENODATA && errno != ENOTSUP)
            return lastSystemFailure();
    } else if (::fsetxattr(m_fd, accessListName, list.constData(), size_t(list.size()), 0) != 0) {
        return lastSystemFailure();
    }
    return std::nullopt;
#else
    Q_UNUSED(other);
    return std::nullopt;
#endif
}

QString CheckedFile::unchangeableReason() const
{
#ifdef Q_OS_LINUX
    int flags = 0;
    if (::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) != 0)
        return {}; // a file system without such flags
    if (flags & FS_IMMUTABLE_FL)
        return QStringLiteral("it is marked immutable (chattr +i), so that nobody may change it; "
                              "remove the mark with chattr -i first");
    if (flags & FS_APPEND_FL)
        return QStringLiteral("it is marked append-only (chattr +a), so that it may not be "
                              "replaced; remove the mark with chattr -a first");
#endif
    return {};
}
