// On a file system whose files can share blocks (XFS here), an add clones the account file
// instead of copying it. The result must be the file that streaming every byte gives, the clone
// must really share the blocks, and a kill at any moment must leave the old file's blocks as they
// were: the appended record goes to blocks of the new file only. Reading the clone into the
// cache for the next add leaves no process behind.

#include "core/AccountFile.h"
#include "tests/support/FaultInjection.h"
#include "tests/support/KaddProcess.h"
#include "tests/support/ScratchCowFileSystem.h"
#include "tests/support/ServerFolder.h"

#include <QRandomGenerator>
#include <QTest>

#include <csignal>
#include <memory>
#include <sys/prctl.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

class CowFileSystemTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cloneMatchesStreamedCopy_data();
    void cloneMatchesStreamedCopy();
    void killedAddLeavesOldBlocksUntouched();

private:
    std::unique_ptr<ScratchCowFileSystem> m_cow;
};

namespace {

QByteArray accountLines(int count, const QByteArray &end)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes += "player" + QByteArray::number(i) + ",secret,1,p" + QByteArray::number(i) +
                 "@example.org,0" + end;
    return bytes;
}

// A server folder and a working folder below base.
struct Folders
{
    explicit Folders(const QString &base, const QByteArray &accounts)
        : dir(base + QStringLiteral("/kelto-XXXXXX"))
    {
        QDir(dir.path()).mkpath(QStringLiteral("server/kData/kPlayer"));
        QDir(dir.path()).mkpath(QStringLiteral("work"));
        QFile file(accountFile());
        if (file.open(QIODevice::WriteOnly))
            file.write(accounts);
    }
    QString server() const { return dir.filePath(QStringLiteral("server")); }
    QString work() const { return dir.filePath(QStringLiteral("work")); }
    QString accountFile() const { return accountFilePath(server()); }
    QByteArray accounts() const
    {
        QFile file(accountFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
};

qint64 usedBytes(const QString &path)
{
    struct statvfs info;
    if (::statvfs(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return qint64(info.f_blocks - info.f_bfree) * qint64(info.f_frsize);
}

} // namespace

void CowFileSystemTest::initTestCase()
{
    m_cow = std::make_unique<ScratchCowFileSystem>();
    // Whatever an add starts and lets go of comes to this process to be reaped.
    QCOMPARE(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
}

void CowFileSystemTest::cloneMatchesStreamedCopy_data()
{
    QTest::addColumn<QByteArray>("accounts");
    QTest::addColumn<bool>("workElsewhere"); // the working folder on another file system

    const QByteArray crLf = accountLines(100000, "\r\n");
    QTest::newRow("all CR LF: cloned whole") << crLf << false;
    QTest::newRow("LF ends at the end: the start shared") << crLf + accountLines(10, "\n") << false;
    QTest::newRow("working folder on another file system") << crLf << true;
}

void CowFileSystemTest::cloneMatchesStreamedCopy()
{
    if (!m_cow->isValid())
        QSKIP(qPrintable(m_cow->reason()));
    QFETCH(QByteArray, accounts);
    QFETCH(bool, workElsewhere);

    QByteArray results[2];
    qint64 grown = 0;
    for (const bool streaming : {true, false}) {
        const Folders folders(m_cow->path(), accounts);
        QTemporaryDir elsewhere;
        WorkingFolder working(workElsewhere ? elsewhere.path() : folders.work());
        ::sync();
        const qint64 before = usedBytes(m_cow->path());
        FaultInjection::setStreamingCopyOnly(streaming);
        const AddOutcome outcome =
            AddAccount(folders.server(), QStringLiteral("carol"), QStringLiteral("carol,1"))
                .outcome;
        FaultInjection::reset();
        QCOMPARE(outcome, AddOutcome::Created);
        grown = usedBytes(m_cow->path()) - before;
        results[streaming] = folders.accounts();
        QCOMPARE(::waitpid(-1, nullptr, WNOHANG), -1);
    }
    QCOMPARE(results[false], results[true]);
    QVERIFY(results[false].endsWith("\r\ncarol,1\r\n"));
    QVERIFY2(grown < accounts.size() / 4,
             qPrintable(QStringLiteral("the add took %1 new bytes").arg(grown)));
}

void CowFileSystemTest::killedAddLeavesOldBlocksUntouched()
{
    if (!m_cow->isValid())
        QSKIP(qPrintable(m_cow->reason()));
    const Folders folders(m_cow->path(), accountLines(200000, "\r\n"));
    QByteArray expected = folders.accounts();
    QRandomGenerator random(20261214);
    for (int kill = 0; kill < 40; ++kill) {
        QFile old(folders.accountFile());
        QVERIFY(old.open(QIODevice::ReadOnly)); // the old file, whatever is renamed over it
        const QString name = QStringLiteral("cow%1").arg(kill, 4, 10, QLatin1Char('0'));
        QScopedPointer<QProcess> run(
            startKadd({QStringLiteral("add"), name, QStringLiteral("secret1"),
                       QStringLiteral("--app-dir"), folders.server()},
                      folders.work()));
        QVERIFY(run->waitForStarted(10000));
        QTest::qSleep(random.bounded(40));
        ::kill(pid_t(run->processId()), SIGKILL);
        QVERIFY(run->waitForFinished(60000));

        QCOMPARE(old.readAll(), expected);
        const QByteArray after = folders.accounts();
        if (after != expected) {
            QCOMPARE(after, expected + name.toUtf8() + ",secret1,1,none,0\r\n");
            expected = after;
        }
    }
}

QTEST_GUILESS_MAIN(CowFileSystemTest)
#include "tst_cowfilesystem.moc"
