#include "core/AccountEdit.h"
#include "core/AccountFile.h"
#include "core/internal/fs/SignalCleanup.h"
#include "core/internal/fs/UpdateLock.h"
#include "tests/support/BuiltProgram.h"
#include "tests/support/FaultInjection.h"
#include "tests/support/ServerFolder.h"

#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSet>
#include <QTest>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <csignal>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/inotify.h>
#include <sys/xattr.h>
#endif
#endif

// The account file is the operator's only copy of the accounts. Whatever goes wrong on the way,
// an update ends with a file error that names the file, the file exactly as it was, no file of
// ours left behind, and nothing in the way of the next update once the cause is gone.
class FileFaultsTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { FaultInjection::reset(); }
    void cleanup() { FaultInjection::reset(); }

    void accountFileNotThere_data();
    void accountFileNotThere();
    void folderOnTheWayRefusesThisUser();
    void tempFileCannotBeCreated();
    void workingFolderGone();
    void workingFolderRefusesNewFiles_data();
    void workingFolderRefusesNewFiles();
    void diskFull_data();
    void diskFull();
    void workingFolderOnAnotherFileSystem();
    void lockHeldByAnotherProgram_data();
    void lockHeldByAnotherProgram();
    void lockHeldUntilTheNewFileIsInPlace();
    void lockOfADeadProgramIsTakenOver();
    void leftoverLockIsTakenOver_data();
    void leftoverLockIsTakenOver();
    void lockPathHoldsSomethingElse_data();
    void lockPathHoldsSomethingElse();
    void whatLiesInTheWayIsNeverWrittenThrough_data();
    void whatLiesInTheWayIsNeverWrittenThrough();
    void simultaneousUpdatesLoseNothing_data();
    void simultaneousUpdatesLoseNothing();
    void endingSignalLeavesNothingBehind_data();
    void endingSignalLeavesNothingBehind();
    void endingSignalAfterTheRenameWaitsForTheReport();
    void signalRemovesTheCopyBeforeItsLock();
    void everyFailingOperation_data();
    void everyFailingOperation();
    void copySwappedBeforeTheRename();
    void renameIntoPlaceFails();
    void changeFlushedAroundItsRename_data();
    void changeFlushedAroundItsRename();
    void backupCopiedWithoutHardLinks();
    void copyInWorkingFolderStaysPrivate();
    void accessControlListIsKept();
};

namespace {

const QByteArray accounts = "alice,pw,1,none,0\r\nbob,pw,0,b@x,384\n";
const QByteArray rewritten = "alice,pw,1,none,0\r\nbob,pw,0,b@x,384\r\n"; // with CR LF ends
const QByteArray withCarol = rewritten + "carol,pw,1,none,0\r\n";

AddAccountResult addCarol(const ServerFolder &server)
{
    return AddAccount(server.path(), QStringLiteral("carol"), QStringLiteral("carol,pw,1,none,0"));
}

// What is wrong with the outcome of an update that had to fail; empty when nothing is.
QString failureProblems(const AddAccountResult &result, const ServerFolder &server,
                        const QString &workFolder, const QByteArray &before)
{
    QStringList problems;
    if (result.outcome != AddOutcome::FileError)
        problems << QStringLiteral("no file error reported");
    if (!result.errorText.contains(QDir::toNativeSeparators(server.accountFile())))
        problems << QStringLiteral("message does not name the file: ") + result.errorText;
    if (QFileInfo(server.accountFile()).isFile() && server.accounts() != before)
        problems << QStringLiteral("account file changed: ") +
                        QString::fromLatin1(server.accounts());
    for (const QString &path :
         {workFolder + QStringLiteral("/kAdd.tmp"), workFolder + QStringLiteral("/kAdd.tmp.lock"),
          server.accountFile() + QStringLiteral(".new"),
          server.accountFile() + QStringLiteral(".lock")}) {
        if (QFileInfo::exists(path) && !QFileInfo(path).isDir())
            problems << QStringLiteral("left behind: ") + path;
    }
    return problems.join(u'\n');
}

#ifdef Q_OS_UNIX
// Lets no file of this process grow beyond a size, as a full disk would; writing past it fails
// with EFBIG instead of killing the process.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_active = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
    bool active() const { return m_active; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_active = false;
};
#endif

// A working folder on another file system than the account file, or an empty path.
QString otherFileSystemFolder(QTemporaryDir &dir, const QString &accountFile)
{
#ifdef Q_OS_UNIX
    struct stat shm, account;
    if (!dir.isValid() || ::stat(QFile::encodeName(dir.path()).constData(), &shm) != 0 ||
        ::stat(QFile::encodeName(accountFile).constData(), &account) != 0 ||
        shm.st_dev == account.st_dev)
        return {};
    return dir.path();
#else
    Q_UNUSED(dir);
    Q_UNUSED(accountFile);
    return {};
#endif
}

} // namespace

void FileFaultsTest::accountFileNotThere_data()
{
    QTest::addColumn<QString>("remove"); // below the server folder
    QTest::addColumn<bool>("folderInstead");
    QTest::addColumn<QString>("reason");

    QTest::newRow("missing file") << "kData/kPlayer/kAdd.txt" << false << "does not exist";
    QTest::newRow("missing kData folder") << "kData" << false << "does not exist";
    QTest::newRow("a folder named kAdd.txt") << "kData/kPlayer/kAdd.txt" << true << "folder";
}

void FileFaultsTest::accountFileNotThere()
{
    QFETCH(QString, remove);
    QFETCH(bool, folderInstead);
    QFETCH(QString, reason);

    ServerFolder server(accounts);
    WorkingFolder working(server.workFolder());
    QDir root(server.path());
    QVERIFY(QFileInfo(root.filePath(remove)).isDir()
                ? QDir(root.filePath(remove)).removeRecursively()
                : root.remove(remove));
    if (folderInstead)
        QVERIFY(root.mkdir(remove));

    const AddAccountResult result = addCarol(server);
    const QString problems = failureProblems(result, server, server.workFolder(), accounts);
    QVERIFY2(problems.isEmpty(), qPrintable(problems));
    QVERIFY2(result.errorText.contains(reason), qPrintable(result.errorText));
    // A missing file means the tool sits in the wrong folder: it is never made up.
    QCOMPARE(QFileInfo(server.accountFile()).isFile(), false);
    QCOMPARE(QFileInfo::exists(server.path() + QStringLiteral("/kData")), remove != "kData");
    QCOMPARE(QFileInfo(server.accountFile()).isDir(), folderInstead);

    if (folderInstead)
        QVERIFY(root.rmdir(remove));
    root.mkpath(QStringLiteral("kData/kPlayer"));
    server.setAccounts(accounts);
    QCOMPARE(addCarol(server).outcome, AddOutcome::Created);
    QCOMPARE(server.accounts(), withCarol);
}

// A folder this user may not enter is told as that, not as a missing account file. Root passes
// every permission bit, so as root the update runs in a forked child that has handed its rights
// to nobody (the folders above kData opened to it); any other user is kept out of kData by
// taking every bit from it.
void FileFaultsTest::folderOnTheWayRefusesThisUser()
{
#ifdef Q_OS_UNIX
    ServerFolder server(accounts);
    WorkingFolder working(server.workFolder());
    const QString folder = server.path() + QStringLiteral("/kData");
    const bool root = ::geteuid() == 0;
    const struct passwd *nobody = ::getpwnam("nobody");
    if (root && !nobody)
        QSKIP("no user nobody to drop the rights to");
    const QByteArray above = QFile::encodeName(QFileInfo(server.path()).absolutePath());
    QVERIFY(!root || ::chmod(above.constData(), 0755) == 0);
    QCOMPARE(::chmod(QFile::encodeName(folder).constData(), root ? 0700 : 0), 0);
    const auto enterable =
        qScopeGuard([&] { ::chmod(QFile::encodeName(folder).constData(), 0755); });

    QByteArray reason;
    if (!root) {
        reason = addCarol(server).errorText.toUtf8();
    } else {
        int channel[2];
        QCOMPARE(::pipe(channel), 0);
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            ::close(channel[0]);
            if (::setegid(nobody->pw_gid) != 0 || ::seteuid(nobody->pw_uid) != 0)
                ::_exit(1);
            const QByteArray text = addCarol(server).errorText.toUtf8();
            ::_exit(::write(channel[1], text.constData(), size_t(text.size())) == text.size() ? 0
                                                                                              : 1);
        }
        ::close(channel[1]);
        QFile fromChild;
        QVERIFY(fromChild.open(channel[0], QIODevice::ReadOnly, QFile::AutoCloseHandle));
        reason = fromChild.readAll();
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const struct passwd *me = ::getpwuid(::geteuid());
    const QString owner = me ? QString::fromLocal8Bit(me->pw_name) : QString::number(::geteuid());
    for (const QString &told : {QStringLiteral("permission denied"), folder, owner})
        QVERIFY2(reason.contains(told.toUtf8()), reason.constData());
    QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
    QCOMPARE(server.accounts(), accounts);
#else
    QSKIP("permission bits are a POSIX matter here");
#endif
}

void FileFaultsTest::tempFileCannotBeCreated()
{
    ServerFolder server(accounts);
    WorkingFolder working(server.workFolder());
    QVERIFY(QDir(server.workFolder()).mkdir(QStringLiteral("kAdd.tmp")));

    const AddAccountResult result = addCarol(server);
    const QString problems = failureProblems(result, server, server.workFolder(), accounts);
    QVERIFY2(problems.isEmpty(), qPrintable(problems));
    QVERIFY2(result.errorText.contains(QDir::toNativeSeparators(server.tempFile())),
             qPrintable(result.errorText));
    QVERIFY(QFileInfo(server.tempFile()).isDir()); // not ours to remove

    QVERIFY(QDir(server.workFolder()).rmdir(QStringLiteral("kAdd.tmp")));
    QCOMPARE(addCarol(server).outcome, AddOutcome::Created);
    QCOMPARE(server.accounts(), withCarol);
}

// The operator's working folder was removed while the tool ran: kAdd.tmp has nowhere to go, and
// must not end up in some other folder instead.
void FileFaultsTest::workingFolderGone()
{
#ifdef Q_OS_WIN
    QSKIP("Windows does not remove a folder that is a process's working folder");
#endif
    ServerFolder server(accounts);
    const QString gone = server.workFolder() + QStringLiteral("/gone");
    QVERIFY(QDir().mkpath(gone));
    WorkingFolder working(gone);
    QVERIFY(QDir().rmdir(gone));

    const AddAccountResult result = addCarol(server);
    const QString problems = failureProblems(result, server, gone, accounts);
    QVERIFY2(problems.isEmpty(), qPrintable(problems));
    QVERIFY2(result.errorText.contains("working folder"), qPrintable(result.errorText));
    QVERIFY(RemoveTempFile());

    QVERIFY(QDir::setCurrent(server.workFolder()));
    QCOMPARE(addCarol(server).outcome, AddOutcome::Created);
    QCOMPARE(server.accounts(), withCarol);
}

void FileFaultsTest::workingFolderRefusesNewFiles_data()
{
    QTest::addColumn<bool>("sameFileSystem"); // else /sys, where even root may create nothing
    QTest::newRow("an immutable folder beside the account file's") << true;
    QTest::newRow("/sys, another file system") << false;
}

// A working folder where nothing can be created, the lock beside kAdd.tmp included: the copy is
// made beside the account file instead, as on another file system than the account file.
void FileFaultsTest::workingFolderRefusesNewFiles()
{
#ifdef Q_OS_LINUX
    QFETCH(bool, sameFileSystem);
    ServerFolder server(accounts);
    QString folder = QStringLiteral("/sys");
    const auto setImmutable = [&](bool on) {
        return QProcess::execute(QStringLiteral("chattr"),
                                 {on ? QStringLiteral("+i") : QStringLiteral("-i"), folder}) == 0;
    };
    if (sameFileSystem) {
        folder = server.workFolder() + QStringLiteral("/immutable");
        QVERIFY(QDir().mkpath(folder));
        if (!setImmutable(true))
            QSKIP("chattr +i is not allowed here");
    }
    const auto mutableAgain = qScopeGuard([&] {
        if (sameFileSystem)
            setImmutable(false);
    });
    if (QFile(folder + QStringLiteral("/kAdd.tmp")).open(QIODevice::WriteOnly))
        QSKIP("the folder still takes new files");
    WorkingFolder working(folder);

    QCOMPARE(addCarol(server).outcome, AddOutcome::Created);
    QCOMPARE(server.accounts(), withCarol);
#else
    QSKIP("needs Linux's /sys and chattr");
#endif
}

void FileFaultsTest::diskFull_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<int>("room"); // bytes a file may hold

    const QByteArray big = QByteArray("someone,pw,1,none,0\r\n").repeated(500);
    QTest::newRow("no room for the copy") << big << int(big.size() / 2);
    QTest::newRow("no room for the new record") << big << int(big.size() + 5);
}

void FileFaultsTest::diskFull()
{
#ifdef Q_OS_UNIX
    QFETCH(QByteArray, before);
    QFETCH(int, room);

    ServerFolder server(before);
    WorkingFolder working(server.workFolder());
    AddAccountResult result;
    {
        const FileSizeLimit limit{rlim_t(room)};
        QVERIFY(limit.active());
        result = addCarol(server);
    }
    const QString problems = failureProblems(result, server, server.workFolder(), before);
    QVERIFY2(problems.isEmpty(), qPrintable(problems));

    QCOMPARE(addCarol(server).outcome, AddOutcome::Created);
    QCOMPARE(server.accounts(), before + "carol,pw,1,none,0\r\n");
#else
    QSKIP("file size limits are a POSIX matter");
#endif
}

// kAdd.tmp cannot be renamed across file systems: the new file is copied beside the account
// file and renamed from there.
void FileFaultsTest::workingFolderOnAnotherFileSystem()
{
    ServerFolder server(accounts);
    QTemporaryDir shm(QStringLiteral("/dev/shm/kelto-XXXXXX"));
    const QString work = otherFileSystemFolder(shm, server.accountFile());
    if (work.isEmpty())
        QSKIP("no second file system at /dev/shm");
    WorkingFolder working(work);

    QCOMPARE(addCarol(server).outcome, AddOutcome::Created);
    QCOMPARE(server.accounts(), withCarol);
    QCOMPARE(AddAccount(server.path(), "BOB", "BOB,pw,1,none,0").outcome, AddOutcome::Duplicate);
    QCOMPARE(server.accounts(), withCarol);
    QCOMPARE(QDir(work).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
    QCOMPARE(QDir(server.path() + QStringLiteral("/kData/kPlayer")).entryList(QDir::Files),
             QStringList{"kAdd.txt"});
}

void FileFaultsTest::lockHeldByAnotherProgram_data()
{
    QTest::addColumn<bool>("lockTempFile");  // else the account file's lock
    QTest::addColumn<int>("lockAgeSeconds"); // a live update may take long on a huge file
    QTest::addColumn<QString>("reason");

    QTest::newRow("another update of the account file")
        << false << 0 << "the account file is in use by another program";
    QTest::newRow("another update in the same working folder")
        << true << 0 << "is in use by another program";
    QTest::newRow("another update, busy for an hour")
        << false << 3600 << "the account file is in use by another program";
}

void FileFaultsTest::lockHeldByAnotherProgram()
{
    QFETCH(bool, lockTempFile);
    QFETCH(int, lockAgeSeconds);
    QFETCH(QString, reason);

    ServerFolder server(accounts);
    WorkingFolder working(server.workFolder());
    const QString lockPath =
        (lockTempFile ? server.tempFile() : server.accountFile()) + QStringLiteral(".lock");
    QProcess holder;
    holder.start(builtProgram(KELTO_LOCK_HOLDER), {lockPath});
    QVERIFY2(holder.waitForStarted(10000), qPrintable(holder.errorString()));
    QVERIFY(holder.waitForReadyRead(10000));
    QCOMPARE(consoleText(holder.readAll()), QByteArray("locked\n"));
    if (lockAgeSeconds > 0) {
#ifdef Q_OS_WIN
        QSKIP("a held lock file cannot be opened on Windows, so its age cannot matter there");
#endif
        QFile lock(lockPath);
        QVERIFY(lock.open(QIODevice::ReadOnly));
        QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-lockAgeSeconds),
                                 QFileDevice::FileModificationTime));
    }

    FaultInjection::setLockWait(300);
    const AddAccountResult result = addCarol(server);
    QCOMPARE(result.outcome, AddOutcome::FileError);
    QVERIFY2(result.errorText.contains(reason), qPrintable(result.errorText));
    QVERIFY2(result.errorText.contains(QDir::toNativeSeparators(server.accountFile())),
             qPrintable(result.errorText));
    QCOMPARE(server.accounts(), accounts);
    QVERIFY(!QFileInfo::exists(server.tempFile()));
    QVERIFY(QFileInfo::exists(lockPath)); // still the other program's

    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(10000));
    QCOMPARE(holder.exitCode(), 0);
    QCOMPARE(addCarol(server).outcome, AddOutcome::Created);
    QCOMPARE(server.accounts(), withCarol);
    QVERIFY(!QFileInfo::exists(lockPath));
}

// Another update that took the lock before the rename would read the old file and write its own
// copy of it over ours: the lock must stay busy until the new file is in place.
void FileFaultsTest::lockHeldUntilTheNewFileIsInPlace()
{
    ServerFolder server(accounts);
    WorkingFolder working(server.workFolder());
    const QString copy = server.accountFile() + QStringLiteral(".new");
    int tries = 0;
    int taken = 0;
    FaultInjection::setBeforeEachOperation([&] {
        if (!QFileInfo::exists(copy))
            return;
        ++tries;
        UpdateLock other(server.accountFile() + QStringLiteral(".lock"));
        if (!other.acquire(0))
            ++taken;
    });

    QCOMPARE(addCarol(server).outcome, AddOutcome::Created);
    QCOMPARE(server.accounts(), withCarol);
    QVERIFY(tries > 0);
    QCOMPARE(taken, 0);
}

void FileFaultsTest::lockOfADeadProgramIsTakenOver()
{
    ServerFolder server(accounts);
    WorkingFolder working(server.workFolder());
    const QString lockPath = server.accountFile() + QStringLiteral(".lock");
    QProcess holder;
    holder.start(builtProgram(KELTO_LOCK_HOLDER), {lockPath});
    QVERIFY(holder.waitForStarted(10000));
    QVERIFY(holder.waitForReadyRead(10000));
    holder.kill();
    QVERIFY(holder.waitForFinished(10000));
#ifndef Q_OS_WIN // where the lock file goes with its holder
    QVERIFY(QFileInfo::exists(lockPath));
#endif

    FaultInjection::setLockWait(3000);
    QCOMPARE(addCarol(server).outcome, AddOutcome::Created);
    QCOMPARE(server.accounts(), withCarol);
    QVERIFY(!QFileInfo::exists(lockPath));
}

// The system drops a lock when its holder dies, however it dies: a lock file left behind by a
// killed update is free, whatever its age or time stamp (a clock set back after a crash).
void FileFaultsTest::leftoverLockIsTakenOver_data()
{
    QTest::addColumn<bool>("lockTempFile");
    QTest::addColumn<int>("ageSeconds");

    QTest::newRow("account file, left long ago") << false << 60;
    QTest::newRow("kAdd.tmp, left long ago") << true << 60;
    QTest::newRow("account file, left just now") << false << 0;
    QTest::newRow("account file, time in the future") << false << -3600;
}

void FileFaultsTest::leftoverLockIsTakenOver()
{
    QFETCH(bool, lockTempFile);
    QFETCH(int, ageSeconds);

    ServerFolder server(accounts);
    WorkingFolder working(server.workFolder());
    const QString lockPath =
        (lockTempFile ? server.tempFile() : server.accountFile()) + QStringLiteral(".lock");
    QFile lock(lockPath);
    QVERIFY(lock.open(QIODevice::WriteOnly));
    QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-ageSeconds),
                             QFileDevice::FileModificationTime));
    lock.close();

    FaultInjection::setLockWait(300);
    QCOMPARE(addCarol(server).outcome, AddOutcome::Created);
    QCOMPARE(server.accounts(), withCarol);
    QVERIFY(!QFileInfo::exists(lockPath));
}

void FileFaultsTest::lockPathHoldsSomethingElse_data()
{
    QTest::addColumn<QString>("planted");
    QTest::addColumn<QString>("reason");

    QTest::newRow("a folder") << "folder"
                              << "Is a directory";
    QTest::newRow("a symbolic link") << "link"
                                     << "symbolic link";
    QTest::newRow("a FIFO") << "fifo"
                            << "not a regular file";
}

// Whatever sits at the lock's path is named as the cause, and nothing waits on it.
void FileFaultsTest::lockPathHoldsSomethingElse()
{
#ifdef Q_OS_UNIX
    QFETCH(QString, planted);
    QFETCH(QString, reason);

    ServerFolder server(accounts);
    WorkingFolder working(server.workFolder());
    const QByteArray lockPath = QFile::encodeName(server.accountFile() + QStringLiteral(".lock"));
    if (planted == "folder")
        QCOMPARE(::mkdir(lockPath.constData(), 0700), 0);
    else if (planted == "link")
        QCOMPARE(::symlink("kAdd.txt", lockPath.constData()), 0);
    else
        QCOMPARE(::mkfifo(lockPath.constData(), 0600), 0);

    const AddAccountResult result = addCarol(server);
    QCOMPARE(result.outcome, AddOutcome::FileError);
    QVERIFY2(result.errorText.contains(reason), qPrintable(result.errorText));
    QVERIFY2(!result.errorText.contains("in use"), qPrintable(result.errorText));
    QCOMPARE(server.accounts(), accounts);
    QVERIFY(QFileInfo(server.accountFile()).isFile() &&
            !QFileInfo(server.accountFile()).isSymLink());
#else
    QSKIP("links and FIFOs as planted here are POSIX matters");
#endif
}

void FileFaultsTest::whatLiesInTheWayIsNeverWrittenThrough_data()
{
    QTest::addColumn<bool>("besideAccountFile"); // kAdd.txt.new, else kAdd.tmp
    QTest::addColumn<QString>("planted");

    for (const bool beside : {false, true}) {
        for (const char *planted : {"link to another file", "link to the account file",
                                    "hard link to the account file", "FIFO", "file held open"})
            QTest::addRow("%s: %s", beside ? "kAdd.txt.new" : "kAdd.tmp", planted)
                << beside << QString::fromLatin1(planted);
    }
}

// Someone sharing the working folder (or an earlier accident) left something at the path of a
// new copy. It is removed, never written through, and never becomes the account file.
void FileFaultsTest::whatLiesInTheWayIsNeverWrittenThrough()
{
#ifdef Q_OS_UNIX
    QFETCH(bool, besideAccountFile);
    QFETCH(QString, planted);

    ServerFolder server(accounts);
    QTemporaryDir shm(QStringLiteral("/dev/shm/kelto-XXXXXX"));
    const QString work =
        besideAccountFile ? otherFileSystemFolder(shm, server.accountFile()) : server.workFolder();
    if (work.isEmpty())
        QSKIP("no second file system at /dev/shm");
    WorkingFolder working(work);
    const QString path = besideAccountFile ? server.accountFile() + QStringLiteral(".new")
                                           : work + QStringLiteral("/kAdd.tmp");
    const QByteArray native = QFile::encodeName(path);
    QTemporaryDir elsewhere;
    const QString other = elsewhere.filePath(QStringLiteral("other.txt"));
    const QByteArray otherBytes = "not the accounts\n";
    QFile otherFile(other);
    QVERIFY(otherFile.open(QIODevice::WriteOnly) && otherFile.write(otherBytes) > 0);
    otherFile.close();

    QFile heldOpen(path);
    if (planted == "link to another file")
        QCOMPARE(::symlink(QFile::encodeName(other).constData(), native.constData()), 0);
    else if (planted == "link to the account file")
        QCOMPARE(::symlink(QFile::encodeName(server.accountFile()).constData(), native.constData()),
                 0);
    else if (planted == "hard link to the account file")
        QCOMPARE(::link(QFile::encodeName(server.accountFile()).constData(), native.constData()),
                 0);
    else if (planted == "FIFO")
        QCOMPARE(::mkfifo(native.constData(), 0666), 0);
    else
        QVERIFY(heldOpen.open(QIODevice::WriteOnly));

    QCOMPARE(addCarol(server).outcome, AddOutcome::Created);
    QCOMPARE(server.accounts(), withCarol);
    QVERIFY(!QFileInfo(server.accountFile()).isSymLink());
    QVERIFY(otherFile.open(QIODevice::ReadOnly));
    QCOMPARE(otherFile.readAll(), otherBytes);
    if (heldOpen.isOpen()) {
        QVERIFY(heldOpen.write("mallory,pw,1,none,0\r\n") > 0 && heldOpen.flush());
        QCOMPARE(server.accounts(), withCarol);
    }
    for (const QString &left : {path, work + QStringLiteral("/kAdd.tmp")})
        QVERIFY2(!QFileInfo(left).exists() && !QFileInfo(left).isSymLink(), qPrintable(left));
#else
    QSKIP("links and FIFOs as planted here are POSIX matters");
#endif
}

void FileFaultsTest::simultaneousUpdatesLoseNothing_data()
{
    QTest::addColumn<bool>("sharedWorkingFolder");
    QTest::addColumn<bool>("linkedServerFolder"); // the second copy's kAdd.txt links to the first's
    QTest::newRow("one working folder") << true << false;
    QTest::newRow("a working folder each") << false << false;
    QTest::newRow("two server folders linked to one file") << false << true;
}

// Two copies of the tool add accounts to one file at the same moment: every record arrives, and
// of two names that differ only in case exactly one gets in.
void FileFaultsTest::simultaneousUpdatesLoseNothing()
{
    QFETCH(bool, sharedWorkingFolder);
    QFETCH(bool, linkedServerFolder);

    ServerFolder server;
    ServerFolder linked;
    if (linkedServerFolder) {
#ifdef Q_OS_WIN
        QSKIP("QFile::link makes a shell shortcut on Windows, not a symbolic link");
#endif
        QVERIFY(QFile::remove(linked.accountFile()));
        QVERIFY(QFile::link(server.accountFile(), linked.accountFile()));
    }
    QTemporaryDir otherWork;
    QProcess adders[2];
    QSet<QByteArray> expected;
    const int each = 10; // few enough that neither copy waits long for the other
    for (int i = 0; i < 2; ++i) {
        QStringList names;
        for (int n = 0; n < each; ++n)
            names << QStringLiteral("copy%1no%2").arg(i).arg(n);
        names << (i == 0 ? QStringLiteral("both") : QStringLiteral("BOTH"));
        for (const QString &name : names.mid(0, each))
            expected.insert(name.toLatin1() + ",pw,1,none,0");
        adders[i].setWorkingDirectory(i == 1 && !sharedWorkingFolder ? otherWork.path()
                                                                     : server.workFolder());
        const QString folder = i == 1 && linkedServerFolder ? linked.path() : server.path();
        adders[i].start(builtProgram(KELTO_ACCOUNT_ADDER), QStringList{folder} + names);
    }
    QByteArray outcomes[2];
    for (int i = 0; i < 2; ++i) {
        QVERIFY(adders[i].waitForFinished(120000));
        QCOMPARE(adders[i].exitCode(), 0);
        outcomes[i] = consoleText(adders[i].readAllStandardOutput());
        QCOMPARE(outcomes[i].left(2 * each), QByteArray("C\n").repeated(each));
    }
    const QSet<QByteArray> both{outcomes[0].mid(2 * each), outcomes[1].mid(2 * each)};
    QCOMPARE(both, (QSet<QByteArray>{"C\n", "D\n"}));

    QList<QByteArray> lines = server.accounts().split('\n');
    QCOMPARE(lines.takeLast(), QByteArray());
    QCOMPARE(lines.size(), 2 * each + 1);
    QSet<QByteArray> found;
    for (const QByteArray &line : std::as_const(lines)) {
        QVERIFY(line.endsWith('\r'));
        found.insert(line.chopped(1));
    }
    QCOMPARE(found.size(), 2 * each + 1);
    QVERIFY(found.remove("both,pw,1,none,0") != found.remove("BOTH,pw,1,none,0"));
    QCOMPARE(found, expected);
    QVERIFY(!QFileInfo::exists(server.tempFile()));
}

void FileFaultsTest::endingSignalLeavesNothingBehind_data()
{
#ifndef Q_OS_UNIX
    QSKIP("signals are a POSIX matter");
#else
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<QString>("pausedIn"); // the copy, once it holds part of the file
    QTest::addColumn<bool>("otherFileSystem");
    QTest::newRow("SIGINT") << SIGINT << "kAdd.tmp" << false;
    QTest::newRow("SIGTERM") << SIGTERM << "kAdd.tmp" << false;
    QTest::newRow("SIGHUP") << SIGHUP << "kAdd.tmp" << false;
    QTest::newRow("SIGTERM, copy moved beside the account file")
        << SIGTERM << "kAdd.txt.new" << false;
    QTest::newRow("SIGTERM, copy made beside the account file, working folder on another file "
                  "system")
        << SIGTERM << "kAdd.txt.new" << true;
#endif
}

// An operator's Ctrl-C, a service manager's stop or a closed terminal in the middle of an update:
// the program ends as the signal says, with the old file in place and no copy of the passwords
// or lock file of ours left anywhere.
void FileFaultsTest::endingSignalLeavesNothingBehind()
{
#ifdef Q_OS_UNIX
    QFETCH(int, signalNumber);
    QFETCH(QString, pausedIn);
    QFETCH(bool, otherFileSystem);
    QByteArray before; // copied in several writes
    for (int i = 0; before.size() < 2 * 1024 * 1024; ++i)
        before += "player" + QByteArray::number(i) + ",secret,1,none,0\r\n";
    ServerFolder server(before);
    QTemporaryDir shm(QStringLiteral("/dev/shm/kelto-XXXXXX"));
    const QString work =
        otherFileSystem ? otherFileSystemFolder(shm, server.accountFile()) : server.workFolder();
    if (work.isEmpty())
        QSKIP("no second file system at /dev/shm");
    const QString copy = pausedIn == QLatin1String("kAdd.tmp")
                             ? work + QStringLiteral("/kAdd.tmp")
                             : server.accountFile() + QStringLiteral(".new");

    QProcess adder;
    adder.setWorkingDirectory(work);
    // A signal ignored where the test runs (nohup) would be ignored by the adder too.
    adder.setChildProcessModifier([] {
        for (const int ending : {SIGINT, SIGTERM, SIGHUP})
            std::signal(ending, SIG_DFL);
    });
    adder.start(builtProgram(KELTO_ACCOUNT_ADDER),
                {QStringLiteral("--pause-at"), copy, server.path(), QStringLiteral("carol")});
    while (!adder.readAllStandardOutput().contains('P'))
        QVERIFY2(adder.waitForReadyRead(30000), "the update never reached the copy");
    QCOMPARE(::kill(pid_t(adder.processId()), signalNumber), 0);
    QVERIFY(adder.waitForFinished(30000));
    QCOMPARE(adder.exitStatus(), QProcess::CrashExit);
    QCOMPARE(adder.exitCode(), signalNumber);
    QVERIFY(server.accounts() == before);
    QCOMPARE(server.leftovers(), QStringList());
    QCOMPARE(QDir(work).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
#endif
}

// Once the new file is in place the change is made: a stop then (during the folder's flush on a
// slow disk, say) waits until the outcome is printed, and ends the program after it.
void FileFaultsTest::endingSignalAfterTheRenameWaitsForTheReport()
{
#ifdef Q_OS_UNIX
    ServerFolder server(accounts);
    QProcess adder;
    adder.setWorkingDirectory(server.workFolder());
    adder.setChildProcessModifier([] { std::signal(SIGTERM, SIG_DFL); });
    adder.start(builtProgram(KELTO_ACCOUNT_ADDER),
                {QStringLiteral("--pause-after-rename"), server.path(), QStringLiteral("carol")});
    QByteArray out;
    while (!out.contains('P')) {
        QVERIFY2(adder.waitForReadyRead(30000), "the update never put its file in place");
        out += adder.readAllStandardOutput();
    }
    QCOMPARE(::kill(pid_t(adder.processId()), SIGTERM), 0);
    QTest::qWait(50);
    adder.closeWriteChannel();
    QVERIFY(adder.waitForFinished(30000));
    QCOMPARE(out + adder.readAllStandardOutput(), QByteArray("P\nC\n"));
    QCOMPARE(adder.exitStatus(), QProcess::CrashExit);
    QCOMPARE(adder.exitCode(), SIGTERM);
    QVERIFY(server.accounts().endsWith("carol,pw,1,none,0\r\n"));
    QCOMPARE(server.leftovers(), QStringList());
#else
    QSKIP("signals are a POSIX matter");
#endif
}

// Whoever takes a freed lock next must never meet the copy of the update that held it, with
// every password in it: a signal's cleanup removes the copy first, however the two were armed.
void FileFaultsTest::signalRemovesTheCopyBeforeItsLock()
{
#ifdef Q_OS_LINUX
    QTemporaryDir folder;
    const QString copy = folder.filePath(QStringLiteral("kAdd.tmp"));
    const QString lock = copy + QStringLiteral(".lock");
    for (const QString &path : {copy, lock}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const int events = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    QVERIFY(events >= 0);
    const auto closeEvents = qScopeGuard([&] { ::close(events); });
    QVERIFY(::inotify_add_watch(events, QFile::encodeName(folder.path()).constData(), IN_DELETE) >=
            0);
    {
        SignalCleanup lockCleanup;
        lockCleanup.arm(lock, SignalCleanup::Stage::Lock);
        SignalCleanup copyCleanup;
        copyCleanup.arm(copy, SignalCleanup::Stage::Copy);
        SignalCleanup::removeArmedPaths();
    }

    QStringList removed;
    alignas(inotify_event) char buffer[4096];
    const ssize_t size = ::read(events, buffer, sizeof buffer);
    for (ssize_t at = 0; at < size;) {
        const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
        removed << QFile::decodeName(event->name);
        at += ssize_t(sizeof(inotify_event) + event->len);
    }
    QCOMPARE(removed, (QStringList{"kAdd.tmp", "kAdd.tmp.lock"}));
#else
    QSKIP("watches the folder through Linux's inotify");
#endif
}

void FileFaultsTest::everyFailingOperation_data()
{
    QTest::addColumn<bool>("otherFileSystem");
    QTest::addColumn<QString>("username");
    QTest::addColumn<QByteArray>("before");

    // A file that is all CR LF is copied by the system; one with an LF end is copied by the
    // system up to that line and streamed from there.
    QTest::newRow("new name") << false << "carol" << accounts;
    QTest::newRow("taken name") << false << "Bob" << accounts;
    QTest::newRow("new name, working folder on another file system") << true << "carol" << accounts;
    QTest::newRow("new name, all CR LF") << false << "carol" << rewritten;
    QTest::newRow("new name, all CR LF, working folder on another file system")
        << true << "carol" << rewritten;
}

// Each file operation of an update (open, read, size, seek, clone, system copy, write, sync,
// close, rename, remove, folder flush) fails in turn, as a real I/O error would. The update
// either reports it and changes nothing, or, where it retries the operation, ends as it would
// have without the fault; a failed flush of the folder after the rename is reported as such.
void FileFaultsTest::everyFailingOperation()
{
    QFETCH(bool, otherFileSystem);
    QFETCH(QString, username);
    QFETCH(QByteArray, before);
    const QString record = username + QStringLiteral(",pw,1,none,0");
    const AddOutcome unhindered = username == "carol" ? AddOutcome::Created : AddOutcome::Duplicate;

    QTemporaryDir shm(QStringLiteral("/dev/shm/kelto-XXXXXX"));
    int operations = 0;
    QByteArray after;
    {
        ServerFolder server(before);
        const QString work = otherFileSystem ? otherFileSystemFolder(shm, server.accountFile())
                                             : server.workFolder();
        if (work.isEmpty())
            QSKIP("no second file system at /dev/shm");
        WorkingFolder working(work);
        QCOMPARE(AddAccount(server.path(), username, record).outcome, unhindered);
        operations = FaultInjection::operationCount();
        after = server.accounts();
    }
    QVERIFY(operations >= 2);

    for (int failing = 1; failing <= operations; ++failing) {
        ServerFolder server(before);
        const QString work = otherFileSystem ? shm.path() : server.workFolder();
        WorkingFolder working(work);
        FaultInjection::reset();
        FaultInjection::failOperation(failing);
        const AddAccountResult result = AddAccount(server.path(), username, record);
        const bool retried = FaultInjection::operationCount() == operations + 1;
        const QString where = QStringLiteral("operation %1 failed: ").arg(failing);
        // The flush of the folder comes after the rename: the error then says the file changed.
        const bool landed = (retried && result.outcome == unhindered) ||
                            result.errorText.contains(QStringLiteral("the last step"));
        QCOMPARE(result.fileChanged, result.errorText.contains(QStringLiteral("the last step")));
        if (landed) {
            QVERIFY2(server.accounts() == after, qPrintable(where + "wrong file after a retry"));
            QVERIFY2(!QFileInfo::exists(work + QStringLiteral("/kAdd.tmp")),
                     qPrintable(where + "kAdd.tmp left"));
        } else {
            const QString problems = failureProblems(result, server, work, before);
            QVERIFY2(problems.isEmpty(), qPrintable(where + problems));
        }

        FaultInjection::reset();
        QCOMPARE(AddAccount(server.path(), "dave", "dave,1").outcome, AddOutcome::Created);
        const bool carolIn = landed && unhindered == AddOutcome::Created;
        QCOMPARE(server.accounts(), (carolIn ? withCarol : rewritten) + "dave,1\r\n");
        QVERIFY(!QFileInfo::exists(work + QStringLiteral("/kAdd.tmp")));
    }
}

// Another program swaps a file of its own in for kAdd.txt.new while the update writes it: only
// what the update wrote may ever become the account file.
void FileFaultsTest::copySwappedBeforeTheRename()
{
#ifdef Q_OS_UNIX
    ServerFolder server(accounts);
    WorkingFolder working(server.workFolder());
    const QString copy = server.accountFile() + QStringLiteral(".new");
    const QString foreign = server.workFolder() + QStringLiteral("/foreign");
    bool swapped = false;
    FaultInjection::setBeforeEachOperation([&] {
        if (swapped || !QFileInfo::exists(copy))
            return;
        QFile file(foreign);
        swapped = file.open(QIODevice::WriteOnly) && file.write("mallory,pw,1,none,0\r\n") > 0;
        file.close();
        swapped = swapped && std::rename(QFile::encodeName(foreign).constData(),
                                         QFile::encodeName(copy).constData()) == 0;
    });

    const AddAccountResult result = addCarol(server);
    QVERIFY(swapped);
    QCOMPARE(result.outcome, AddOutcome::FileError);
    QCOMPARE(server.accounts(), accounts);
#else
    QSKIP("a file held open cannot be replaced on Windows");
#endif
}

// A folder, not empty, took the account file's name after every check, just before the rename:
// the rename of the copy fails, and the update must say so rather than report an account it did
// not add.
void FileFaultsTest::renameIntoPlaceFails()
{
#ifdef Q_OS_UNIX
    int operations = 0;
    {
        ServerFolder clean(accounts);
        WorkingFolder working(clean.workFolder());
        QCOMPARE(addCarol(clean).outcome, AddOutcome::Created);
        operations = FaultInjection::operationCount();
    }
    FaultInjection::reset();
    ServerFolder server(accounts);
    WorkingFolder working(server.workFolder());
    QDir folder(server.path() + QStringLiteral("/kData/kPlayer"));
    // Only the flush of the folder comes after the rename.
    FaultInjection::setBeforeEachOperation([&] {
        if (FaultInjection::operationCount() != operations - 2)
            return;
        folder.rename(QStringLiteral("kAdd.txt"), QStringLiteral("kAdd.txt.old"));
        folder.mkpath(QStringLiteral("kAdd.txt/inside"));
    });

    const AddAccountResult result = addCarol(server);
    const QString problems = failureProblems(result, server, server.workFolder(), accounts);
    QVERIFY2(problems.isEmpty(), qPrintable(problems));
    QVERIFY(QFileInfo::exists(server.accountFile() + QStringLiteral("/inside")));
#else
    QSKIP("an open file cannot be renamed on Windows");
#endif
}

void FileFaultsTest::changeFlushedAroundItsRename_data()
{
    QTest::addColumn<bool>("otherFileSystem");
    QTest::addColumn<bool>("backup"); // an edit that keeps the old file as kAdd.txt.bak
    QTest::newRow("copy made in the working folder") << false << false;
    QTest::newRow("copy made beside the account file") << true << false;
    QTest::newRow("an edit with a backup") << false << true;
}

// After a power cut the account file must be the old one or the new one, whole, and an add
// reported done must be in it: the copy reaches the disk before it is renamed into place, and
// its folder, which holds the rename, before the update reports success. The backup's rename,
// which comes after, needs the folder flushed once more.
void FileFaultsTest::changeFlushedAroundItsRename()
{
    QFETCH(bool, otherFileSystem);
    QFETCH(bool, backup);

    ServerFolder server(accounts);
    QTemporaryDir shm(QStringLiteral("/dev/shm/kelto-XXXXXX"));
    const QString work =
        otherFileSystem ? otherFileSystemFolder(shm, server.accountFile()) : server.workFolder();
    if (work.isEmpty())
        QSKIP("no second file system at /dev/shm");
    WorkingFolder working(work);
    FaultInjection::recordSteps();
    if (backup) {
        AccountEdit removeBob;
        removeBob.username = QStringLiteral("bob");
        removeBob.remove = true;
        removeBob.backup = true;
        QCOMPARE(EditAccount(server.path(), removeBob).outcome, EditOutcome::Done);
        QVERIFY(QFileInfo::exists(server.accountFile() + QStringLiteral(".bak")));
    } else {
        QCOMPARE(addCarol(server).outcome, AddOutcome::Created);
        QCOMPARE(server.accounts(), withCarol);
    }

    const char *const stepNames[] = {"file flushed", "renamed", "folder flushed"};
    QStringList steps;
    for (const FaultInjection::DoneStep &done : FaultInjection::stepsDone())
        steps << QStringLiteral("%1 %2").arg(QLatin1String(stepNames[int(done.step)]),
                                             QDir::fromNativeSeparators(done.path));
    const QFileInfo target(QFileInfo(server.accountFile()).canonicalFilePath());
    const QString copy = target.filePath() + QStringLiteral(".new");
    QStringList expected{"file flushed " + copy, "renamed " + copy,
                         "folder flushed " + target.path()};
    if (backup)
        expected << "folder flushed " + target.path();
    QCOMPARE(steps.mid(qMax(0, steps.size() - expected.size())), expected);
}

// Without hard links the backup is a copy. Each operation of an edit with a backup fails in
// turn: the edit is reported and changes nothing, the previous backup included, and no part of
// a backup is left beside the account file.
void FileFaultsTest::backupCopiedWithoutHardLinks()
{
    AccountEdit removeBob;
    removeBob.username = QStringLiteral("bob");
    removeBob.remove = true;
    removeBob.backup = true;

    int operations = 1;
    for (int failing = 0; failing <= operations; ++failing) {
        ServerFolder server(accounts);
        WorkingFolder working(server.workFolder());
        const QString backup = server.accountFile() + QStringLiteral(".bak");
        QFile previous(backup);
        QVERIFY(previous.open(QIODevice::WriteOnly) && previous.write("older\n") == 6);
        previous.close();
        FaultInjection::reset();
        FaultInjection::setNoHardLinks(true);
        FaultInjection::failOperation(failing);
        const EditResult result = EditAccount(server.path(), removeBob);
        if (failing == 0)
            operations = FaultInjection::operationCount();
        const QString where = QStringLiteral("operation %1 failed").arg(failing);
        if (result.outcome == EditOutcome::Done ||
            result.errorText.contains(QStringLiteral("the last step"))) {
            QCOMPARE(server.accounts(), QByteArray("alice,pw,1,none,0\r\n"));
            // A backup that could not take its name is left as .bak.new, and said so.
            const bool left = result.errorText.contains(QStringLiteral("is kept as"));
            QFile kept(left ? backup + QStringLiteral(".new") : backup);
            QVERIFY2(kept.open(QIODevice::ReadOnly), qPrintable(where));
            QCOMPARE(kept.readAll(), accounts);
        } else {
            QVERIFY2(result.errorText.contains(QDir::toNativeSeparators(server.accountFile())),
                     qPrintable(where + ": " + result.errorText));
            QCOMPARE(server.accounts(), accounts);
            QVERIFY2(!QFileInfo::exists(backup + QStringLiteral(".new")), qPrintable(where));
            QVERIFY(previous.open(QIODevice::ReadOnly));
            QVERIFY2(previous.readAll() == "older\n", qPrintable(where + ": backup lost"));
        }
    }
}

// The working folder may be open to others where the server folder is not: at no moment may
// the copy there be readable by anyone but its owner, whatever the account file allows.
void FileFaultsTest::copyInWorkingFolderStaysPrivate()
{
#ifdef Q_OS_WIN
    QSKIP("Windows gives a file the access of its folder, not permission bits");
#endif
    ServerFolder server(accounts);
    QVERIFY(QFile::setPermissions(server.accountFile(), QFile::ReadOwner | QFile::WriteOwner |
                                                            QFile::ReadGroup | QFile::ReadOther));
    WorkingFolder working(server.workFolder());
    const QString copy = server.tempFile();
    int seen = 0;
    QFile::Permissions widest;
    FaultInjection::setBeforeEachOperation([&] {
        if (QFileInfo::exists(copy)) {
            ++seen;
            widest |= QFileInfo(copy).permissions();
        }
    });
    QCOMPARE(addCarol(server).outcome, AddOutcome::Created);
    QVERIFY(seen > 0);
    QVERIFY(!(widest & (QFile::ReadGroup | QFile::ReadOther)));
    QVERIFY(QFileInfo(server.accountFile()).permissions() & QFile::ReadOther);
}

// A list that lets the server's user read a file its permission bits keep from the group.
void FileFaultsTest::accessControlListIsKept()
{
#ifndef Q_OS_LINUX
    QSKIP("POSIX access control lists are a Linux matter here");
#else
    ServerFolder server(accounts);
    const QByteArray path = QFile::encodeName(server.accountFile());
    struct Entry
    {
        quint16 tag, permissions;
        quint32 id;
    };
    // Version 2: owner rw, user 4242 r, owning group none, mask r, others none.
    const Entry entries[] = {{0x01, 6, quint32(-1)},
                             {0x02, 4, 4242},
                             {0x04, 0, quint32(-1)},
                             {0x10, 4, quint32(-1)},
                             {0x20, 0, quint32(-1)}};
    QByteArray list("\x02\0\0\0", 4);
    list.append(reinterpret_cast<const char *>(entries), sizeof entries);
    if (::setxattr(path.constData(), "system.posix_acl_access", list.constData(),
                   size_t(list.size()), 0) != 0)
        QSKIP("the file system of the temporary folder keeps no access control lists");
    WorkingFolder working(server.workFolder());
    QCOMPARE(addCarol(server).outcome, AddOutcome::Created);
    QByteArray kept(256, '\0');
    const ssize_t size =
        ::getxattr(path.constData(), "system.posix_acl_access", kept.data(), size_t(kept.size()));
    QCOMPARE(kept.left(qMax<ssize_t>(size, 0)), list);
#endif
}

QTEST_GUILESS_MAIN(FileFaultsTest)
#include "tst_filefaults.moc"
