#include "core/AccountEdit.h"
#include "core/AccountFile.h"
#include "tests/support/FaultInjection.h"
#include "tests/support/ServerFolder.h"

#include <QProcess>
#include <QScopeGuard>
#include <QTest>
#include <QThread>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/xattr.h>
#endif
#endif

// What other programs and other users do to the account file and its folders: a program that
// writes it without taking the lock, a second name for it, a link made by another user, an owner
// the operator is not, a folder that hands its access list down. The account file ends as the
// other party left it plus the change that was reported, or unchanged with a file error.
class ForeignChangesTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { FaultInjection::reset(); }
    void cleanup() { FaultInjection::reset(); }

    void anotherProgramWritesBeforeTheRename_data();
    void anotherProgramWritesBeforeTheRename();
    void fileThatMustNotBeReplaced_data();
    void fileThatMustNotBeReplaced();
    void workingFolderRemovedMidway();
    void linkOfAnotherUser_data();
    void linkOfAnotherUser();
    void ownerWhoWouldLoseAccess_data();
    void ownerWhoWouldLoseAccess();
    void accessListInheritedByTheCopyGoes();
    void workingFolderSharedWithOthers();
};

namespace {

const QByteArray accounts = "alice,pw,1,none,0\r\nbob,pw,0,b@x,384\r\n";
const QByteArray dave = "dave,pw,1,none,0\r\n";
const QByteArray carol = "carol,pw,1,none,0\r\n";
const QByteArray bea = "alice,pw,1,none,0\r\nbea,pw,0,b@x,384\r\n"; // bob renamed in place

bool appendTo(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::Append) && file.write(bytes) == bytes.size();
}

// As an editor saves: a new file renamed over the old one.
bool saveByRename(const QString &path, const QByteArray &bytes)
{
    const QString part = path + QStringLiteral(".editor");
    QFile file(part);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() &&
           (file.close(), QFile::rename(path, path + QStringLiteral(".old"))) &&
           QFile::rename(part, path) && QFile::remove(path + QStringLiteral(".old"));
}

#ifdef Q_OS_LINUX
// As a program that covers its tracks saves: in place, the same size, and the old modification
// time put back (touch -m -d). Only the change time, which nobody can set, tells.
bool rewriteWithTimePutBack(const QString &path, const QByteArray &bytes)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat before;
    QFile file(path);
    if (::stat(native.constData(), &before) != 0 || !file.open(QIODevice::ReadWrite) ||
        file.write(bytes) != bytes.size())
        return false;
    file.close();
    const struct timespec times[2] = {{0, UTIME_OMIT}, before.st_mtim};
    // The change time moves with the system's coarse clock: put the time back until it has.
    for (int tries = 0; tries < 1000; ++tries) {
        struct stat after;
        if (::utimensat(AT_FDCWD, native.constData(), times, 0) != 0 ||
            ::stat(native.constData(), &after) != 0)
            return false;
        if (after.st_ctim.tv_sec != before.st_ctim.tv_sec ||
            after.st_ctim.tv_nsec != before.st_ctim.tv_nsec)
            return after.st_size == before.st_size;
        QThread::msleep(1);
    }
    return false;
}
#endif

// Another copy of the tool, in a working folder of its own.
bool addFromElsewhere(const ServerFolder &server)
{
    QTemporaryDir work;
    WorkingFolder working(work.path());
    return AddAccount(server.path(), "dave", QString::fromLatin1(dave.trimmed())).outcome ==
           AddOutcome::Created;
}

bool isRoot()
{
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return false;
#endif
}

#ifdef Q_OS_UNIX
// daemon (1:1) stands for the game server's user; nobody, acting in group daemon, for an
// operator who shares the server's group.
constexpr uid_t serverUser = 1, operatorUser = 65534;
constexpr gid_t serverGroup = 1;

// Adds carol as the operator, in a server folder that the operator may write to.
AddAccountResult addAsOperator(const ServerFolder &server)
{
    const QString top = QFileInfo(server.path()).absolutePath();
    for (const QString &folder : {top, server.path(), server.path() + QStringLiteral("/kData"),
                                  server.path() + QStringLiteral("/kData/kPlayer")})
        ::chmod(QFile::encodeName(folder).constData(), 0777);
    AddAccountResult result;
    if (::setegid(serverGroup) == 0 && ::seteuid(operatorUser) == 0)
        result = AddAccount(server.path(), "carol", "carol,pw,1,none,0");
    if (::seteuid(0) != 0 || ::setegid(0) != 0)
        qFatal("could not become root again");
    return result;
}
#endif

} // namespace

void ForeignChangesTest::anotherProgramWritesBeforeTheRename_data()
{
    QTest::addColumn<QString>("change"); // the other program's, once the copy lies beside the file
    QTest::addColumn<QString>("edit");   // add carol, or remove bob
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("add, a line appended") << "append"
                                          << "add" << accounts + dave + carol;
    QTest::newRow("add, the same name appended") << "append CAROL"
                                                 << "add" << accounts + "CAROL,pw,1,none,0\r\n";
    QTest::newRow("add, saved by rename") << "rename"
                                          << "add" << accounts + dave + carol;
#ifndef Q_OS_WIN
    // Windows lets nobody remove a lock file while it is held.
    QTest::newRow("add, the lock removed and another add done") << "add dave"
                                                                << "add" << accounts + dave + carol;
    QTest::newRow("add, the lock removed every time") << "remove the lock always"
                                                      << "add" << QByteArray();
#endif
#ifdef Q_OS_LINUX
    QTest::newRow("add, rewritten with its modification time put back") << "rewrite"
                                                                        << "add" << bea + carol;
#endif
    QTest::newRow("remove with a backup, a line appended") << "append"
                                                           << "remove"
                                                           << "alice,pw,1,none,0\r\n" + dave;
    QTest::newRow("remove with a backup, saved by rename") << "rename"
                                                           << "remove"
                                                           << "alice,pw,1,none,0\r\n" + dave;
    QTest::newRow("add, written every time") << "append always"
                                             << "add" << QByteArray();
}

// A program that ignores the lock (a game server appending, an editor saving) writes the file
// after it was read. Its change is kept and the update starts again on the file as it now is;
// one that keeps writing gets a file error and its lines, never ours.
void ForeignChangesTest::anotherProgramWritesBeforeTheRename()
{
    QFETCH(QString, change);
    QFETCH(QString, edit);
    QFETCH(QByteArray, after);

    ServerFolder server(accounts);
    WorkingFolder working(server.workFolder());
    const QString file = server.accountFile();
    bool done = false;
    FaultInjection::setBeforeEachOperation([&] {
        if (done || !QFileInfo::exists(file + QStringLiteral(".new")))
            return;
        done = !change.endsWith("always");
        if (change == "rename")
            QVERIFY(saveByRename(file, server.accounts() + dave));
        else if (change == "add dave")
            QVERIFY(QFile::remove(file + QStringLiteral(".lock")) && addFromElsewhere(server));
        else if (change == "remove the lock always")
            QFile::remove(file + QStringLiteral(".lock"));
#ifdef Q_OS_LINUX
        else if (change == "rewrite")
            QVERIFY(rewriteWithTimePutBack(file, bea));
#endif
        else
            QVERIFY(appendTo(file, change == "append CAROL" ? "CAROL,pw,1,none,0\r\n" : dave));
    });

    if (edit == "remove") {
        AccountEdit removeBob;
        removeBob.username = QStringLiteral("bob");
        removeBob.remove = true;
        removeBob.backup = true;
        const EditResult result = EditAccount(server.path(), removeBob);
        QCOMPARE(result.outcome, EditOutcome::Done);
        QFile backup(file + QStringLiteral(".bak"));
        QVERIFY(backup.open(QIODevice::ReadOnly));
        QCOMPARE(backup.readAll(), accounts + dave);
    } else {
        const AddAccountResult result = AddAccount(server.path(), "carol", "carol,pw,1,none,0");
        const AddOutcome expected = after.isEmpty()         ? AddOutcome::FileError
                                    : after.endsWith(carol) ? AddOutcome::Created
                                                            : AddOutcome::Duplicate;
        QCOMPARE(result.outcome, expected);
        if (after.isEmpty()) {
            QVERIFY2(result.errorText.contains("another program kept writing"),
                     qPrintable(result.errorText));
            after = server.accounts();
            QVERIFY(after.startsWith(accounts) && !after.contains("carol"));
        }
    }
    QCOMPARE(server.accounts(), after);
    QCOMPARE(server.leftovers(), QStringList());
}

void ForeignChangesTest::fileThatMustNotBeReplaced_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");

    QTest::newRow("a second name (hard link)") << "hard link"
                                               << "hard links";
    QTest::newRow("a FIFO") << "FIFO"
                            << "not a regular file";
    QTest::newRow("immutable") << "+i"
                               << "immutable";
    QTest::newRow("append-only") << "+a"
                                 << "append-only";
}

// Replacing such a file would split it from its other name, or fail only at the rename: it is
// refused before anything is written, with the real cause.
void ForeignChangesTest::fileThatMustNotBeReplaced()
{
#ifdef Q_OS_LINUX
    QFETCH(QString, kind);
    QFETCH(QString, reason);

    ServerFolder server(accounts);
    WorkingFolder working(server.workFolder());
    const QString file = server.accountFile();
    const QByteArray native = QFile::encodeName(file);
    const QString secondName = server.workFolder() + QStringLiteral("/kAdd-too.txt");
    const auto attributes = [&](const QString &change) {
        return QProcess::execute(QStringLiteral("chattr"), {change, file}) == 0;
    };
    const auto clearAttributes = qScopeGuard([&] {
        if (kind.startsWith(u'+'))
            attributes(QStringLiteral("-ia"));
    });
    if (kind == "hard link")
        QCOMPARE(::link(native.constData(), QFile::encodeName(secondName).constData()), 0);
    else if (kind == "FIFO")
        QVERIFY(QFile::remove(file) && ::mkfifo(native.constData(), 0600) == 0);
    else if (!attributes(kind))
        QSKIP("chattr is not allowed here");
    const QByteArray before = kind == "FIFO" ? QByteArray() : server.accounts();

    const AddAccountResult result = AddAccount(server.path(), "carol", "carol,pw,1,none,0");
    QCOMPARE(result.outcome, AddOutcome::FileError);
    QVERIFY2(result.errorText.contains(reason), qPrintable(result.errorText));
    if (kind != "FIFO")
        QCOMPARE(server.accounts(), before);
    QCOMPARE(server.leftovers(), QStringList());
#else
    QSKIP("hard links, FIFOs and file attributes as made here are Linux matters");
#endif
}

// The working folder goes while the copy is written there: the reason says so, rather than
// that someone replaced the copy.
void ForeignChangesTest::workingFolderRemovedMidway()
{
#ifdef Q_OS_WIN
    QSKIP("Windows does not remove a folder that is a process's working folder");
#endif
    ServerFolder server(accounts);
    const QString work = server.workFolder() + QStringLiteral("/going");
    QVERIFY(QDir().mkpath(work));
    WorkingFolder working(work);
    const QString copy = work + QStringLiteral("/kAdd.tmp");
    FaultInjection::setBeforeEachOperation([&] {
        if (QFileInfo::exists(copy) && QFileInfo(copy).size() > 0)
            QDir(work).removeRecursively();
    });
    const AddAccountResult result = AddAccount(server.path(), "carol", "carol,pw,1,none,0");
    QCOMPARE(result.outcome, AddOutcome::FileError);
    QVERIFY2(result.errorText.contains("working folder") && result.errorText.contains("removed"),
             qPrintable(result.errorText));
    QCOMPARE(server.accounts(), accounts);
}

void ForeignChangesTest::linkOfAnotherUser_data()
{
    QTest::addColumn<QString>("link");      // below the server folder
    QTest::addColumn<int>("targetOwner");   // of what the link leads to
    QTest::addColumn<bool>("viaRootsLink"); // the link is root's, to the game user's link
    QTest::addColumn<bool>("followed");

    constexpr int game = 4242;
    QTest::newRow("kAdd.txt of the game user, to a file of root")
        << "kData/kPlayer/kAdd.txt" << 0 << false << false;
    QTest::newRow("kPlayer of the game user, to a folder of root")
        << "kData/kPlayer" << 0 << false << false;
    QTest::newRow("kAdd.txt of the game user, to a file of the game user")
        << "kData/kPlayer/kAdd.txt" << game << false << true;
    QTest::newRow("kAdd.txt of root, to a link of the game user, to a file of root")
        << "kData/kPlayer/kAdd.txt" << 0 << true << false;
}

// Root runs the tool in a folder of the game user, who made a link there: followed only when the
// game user could have changed the file it leads to anyway.
void ForeignChangesTest::linkOfAnotherUser()
{
#ifdef Q_OS_UNIX
    QFETCH(QString, link);
    QFETCH(int, targetOwner);
    QFETCH(bool, viaRootsLink);
    QFETCH(bool, followed);
    if (!isRoot())
        QSKIP("only root can give a link to another user");

    ServerFolder server(accounts);
    WorkingFolder working(server.workFolder());
    QTemporaryDir elsewhere;
    const QString moved = elsewhere.filePath(QStringLiteral("target"));
    const QString path = server.path() + u'/' + link;
    const QString linkPath = viaRootsLink ? path + QStringLiteral(".game") : path;
    QVERIFY(QFile::rename(path, moved));
    QVERIFY(QFile::link(moved, linkPath));
    QCOMPARE(::lchown(QFile::encodeName(linkPath).constData(), 4242, 4242), 0);
    if (viaRootsLink)
        QVERIFY(QFile::link(linkPath, path));
    const QString target = link.endsWith(".txt") ? moved : moved + QStringLiteral("/kAdd.txt");
    QCOMPARE(::chown(QFile::encodeName(target).constData(), uid_t(targetOwner), gid_t(-1)), 0);

    const AddAccountResult result = AddAccount(server.path(), "carol", "carol,pw,1,none,0");
    QCOMPARE(result.outcome, followed ? AddOutcome::Created : AddOutcome::FileError);
    QCOMPARE(server.accounts(), followed ? accounts + carol : accounts);
    if (!followed)
        QVERIFY2(result.errorText.contains(linkPath) && result.errorText.contains("user id 4242"),
                 qPrintable(result.errorText));
    QCOMPARE(QDir(QFileInfo(target).absolutePath()).entryList(QDir::Files),
             QStringList{QFileInfo(target).fileName()});
#else
    QSKIP("file owners are a POSIX matter");
#endif
}

void ForeignChangesTest::ownerWhoWouldLoseAccess_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("operatorInList"); // the operator's access through the access list
    QTest::addColumn<bool>("created");

    // The operator shares the server user's group: the new file's group keeps the server in.
    QTest::newRow("group that the owner is in") << 0660 << false << true;
    // Through that group the server could still read the new file, but no longer write it.
    QTest::newRow("group that the owner is in, read only") << 0640 << false << false;
    // Only the list lets the operator in; the new file would be the operator's, the server's
    // user shut out.
    QTest::newRow("owner alone, operator through the list") << 0600 << true << false;
}

// The operator is not the account file's owner and may not give a file away: the new file is the
// operator's, and the owner must keep its access through the group, or nothing is changed.
void ForeignChangesTest::ownerWhoWouldLoseAccess()
{
#ifdef Q_OS_LINUX
    QFETCH(int, mode);
    QFETCH(bool, operatorInList);
    QFETCH(bool, created);
    if (!isRoot())
        QSKIP("only root can act as two other users");
    ServerFolder server(accounts);
    QVERIFY(::chmod(QFile::encodeName(server.workFolder()).constData(), 0777) == 0);
    const QByteArray file = QFile::encodeName(server.accountFile());
    QVERIFY(::chown(file.constData(), serverUser, serverGroup) == 0 &&
            ::chmod(file.constData(), mode) == 0);
    if (operatorInList) {
        struct Entry
        {
            quint16 tag, permissions;
            quint32 id;
        };
        const Entry entries[] = {{0x01, 6, quint32(-1)},
                                 {0x02, 6, operatorUser},
                                 {0x04, 0, quint32(-1)},
                                 {0x10, 6, quint32(-1)},
                                 {0x20, 0, quint32(-1)}};
        QByteArray list("\x02\0\0\0", 4);
        list.append(reinterpret_cast<const char *>(entries), sizeof entries);
        if (::setxattr(file.constData(), "system.posix_acl_access", list.constData(),
                       size_t(list.size()), 0) != 0)
            QSKIP("the file system of the temporary folder keeps no access control lists");
    }
    struct stat info;
    QVERIFY(::stat(file.constData(), &info) == 0);
    const mode_t modeBefore = info.st_mode;
    WorkingFolder working(server.workFolder());

    const AddAccountResult result = addAsOperator(server);

    QCOMPARE(result.outcome, created ? AddOutcome::Created : AddOutcome::FileError);
    QCOMPARE(server.accounts(), created ? accounts + carol : accounts);
    if (!created)
        QVERIFY2(result.errorText.contains("daemon"), qPrintable(result.errorText));
    QVERIFY(::stat(file.constData(), &info) == 0);
    QCOMPARE(info.st_gid, serverGroup);
    QCOMPARE(info.st_mode, modeBefore);
#else
    QSKIP("needs Linux's access control lists");
#endif
}

// The working folder hands a list to every file made in it (setfacl -d): the new account file
// must not keep it, or the user it names reads every password.
void ForeignChangesTest::accessListInheritedByTheCopyGoes()
{
#ifdef Q_OS_LINUX
    ServerFolder server(accounts);
    const QByteArray work = QFile::encodeName(server.workFolder());
    struct Entry
    {
        quint16 tag, permissions;
        quint32 id;
    };
    // A default list: owner rwx, user 4242 rwx, group and mask rwx, others none.
    const Entry entries[] = {{0x01, 7, quint32(-1)},
                             {0x02, 7, 4242},
                             {0x04, 7, quint32(-1)},
                             {0x10, 7, quint32(-1)},
                             {0x20, 0, quint32(-1)}};
    QByteArray list("\x02\0\0\0", 4);
    list.append(reinterpret_cast<const char *>(entries), sizeof entries);
    if (::setxattr(work.constData(), "system.posix_acl_default", list.constData(),
                   size_t(list.size()), 0) != 0)
        QSKIP("the file system of the temporary folder keeps no access control lists");
    QVERIFY(QFile::setPermissions(server.accountFile(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    WorkingFolder working(server.workFolder());

    QCOMPARE(AddAccount(server.path(), "carol", "carol,pw,1,none,0").outcome, AddOutcome::Created);
    char kept[256];
    QCOMPARE(::getxattr(QFile::encodeName(server.accountFile()).constData(),
                        "system.posix_acl_access", kept, sizeof kept),
             ssize_t(-1));
    struct stat info;
    QVERIFY(::stat(QFile::encodeName(server.accountFile()).constData(), &info) == 0);
    QCOMPARE(info.st_mode & 0777, mode_t(0640));
#else
    QSKIP("needs Linux's access control lists");
#endif
}

// The working folder is shared and sticky, as /tmp is, and another user's kAdd.tmp lies there:
// the copy is made beside the account file instead.
void ForeignChangesTest::workingFolderSharedWithOthers()
{
#ifdef Q_OS_UNIX
    if (!isRoot())
        QSKIP("only root can act as two other users");
    ServerFolder server(accounts);
    const QByteArray work = QFile::encodeName(server.workFolder());
    QVERIFY(::chmod(work.constData(), 01777) == 0);
    QFile planted(server.tempFile());
    QVERIFY(planted.open(QIODevice::WriteOnly));
    planted.close();
    QVERIFY(::chown(QFile::encodeName(server.tempFile()).constData(), 4242, 4242) == 0);
    QVERIFY(::chown(QFile::encodeName(server.accountFile()).constData(), operatorUser,
                    serverGroup) == 0);
    WorkingFolder working(server.workFolder());

    QCOMPARE(addAsOperator(server).outcome, AddOutcome::Created);
    QCOMPARE(server.accounts(), accounts + carol);
    QVERIFY(QFileInfo::exists(server.tempFile())); // not ours to remove
#else
    QSKIP("sticky folders are a POSIX matter");
#endif
}

QTEST_GUILESS_MAIN(ForeignChangesTest)
#include "tst_foreignchanges.moc"
