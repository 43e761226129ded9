// Kills kadd (SIGKILL, or TerminateProcess on Windows) at random moments of an update, again and
// again, and checks after every kill that the account file is either exactly the old file or
// exactly the new one (the new record(s) added, or one account's line changed or removed), and
// that the next run still works: the dead process's lock is taken over and its kAdd.tmp
// overwritten.

#include "tests/support/KaddProcess.h"
#include "tests/support/ServerFolder.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryFile>
#include <QTest>

#include <functional>

class CrashConsistencyTest : public QObject
{
    Q_OBJECT

private slots:
    void killedSingleAddLeavesOldOrNewFile();
    void killedImportLeavesOldOrNewFile();
    void killedRemoveLeavesOldOrNewFile();
    void killedSetLeavesOldOrNewFile();

private:
    void killRepeatedly(const QString &what, int kills);
};

namespace {

constexpr int accountsInFile = 200000;

QByteArray recordOf(int i)
{
    return QByteArray("player") + QByteArray::number(i) + ",secret" + QByteArray::number(i % 977) +
           "," + QByteArray::number(i % 2) + ",p" + QByteArray::number(i) + "@example.org,0";
}

// A process start costs far more on Windows (and under Wine): fewer kills there, spread the same.
#ifdef Q_OS_WIN
constexpr int killsPercent = 40;
#else
constexpr int killsPercent = 100;
#endif

QByteArray bigAccountFile()
{
    QByteArray bytes;
    bytes.reserve(accountsInFile * 48);
    for (int i = 0; i < accountsInFile; ++i)
        bytes += recordOf(i) + "\r\n";
    return bytes;
}

// What one attempt does: add a single record, import a batch file, or change or remove one
// account of the big file.
struct Attempt
{
    QStringList arguments;
    std::function<QByteArray(const QByteArray &)> apply; // the file after a run that completes
};

// Each attempt edits an account of its own, well inside the file.
Attempt editAttempt(const QString &what, int attemptNumber, const QString &serverPath)
{
    const int player = 1 + attemptNumber * 757 % (accountsInFile - 1);
    const QByteArray old = recordOf(player) + "\r\n";
    const QString name = QStringLiteral("PLAYER%1").arg(player); // found in any case
    Attempt attempt;
    QByteArray replacement;
    if (what == QLatin1String("remove")) {
        // Without the backup a removal keeps by default, as the other changes run here: the
        // kills aim at the account file's replacement.
        attempt.arguments = {QStringLiteral("remove"), name, QStringLiteral("--no-backup")};
    } else {
        attempt.arguments = {QStringLiteral("set"),     name,
                             QStringLiteral("--gm"),    QStringLiteral("WARP"),
                             QStringLiteral("--email"), QStringLiteral("new@example.org")};
        QList<QByteArray> fields = recordOf(player).split(',');
        fields[3] = "new@example.org";
        fields[4] = "128";
        replacement = fields.join(',') + "\r\n";
    }
    attempt.arguments << QStringLiteral("--app-dir") << serverPath;
    attempt.apply = [old, replacement](const QByteArray &before) {
        QByteArray after = before;
        const qsizetype at = after.indexOf("\n" + old) + 1;
        return at > 0 ? after.replace(at, old.size(), replacement) : QByteArray("(missing)");
    };
    return attempt;
}

} // namespace

void CrashConsistencyTest::killRepeatedly(const QString &what, int kills)
{
    ServerFolder server(bigAccountFile());
    // A private account file: no copy of it may be readable by others at any moment.
    const QFileDevice::Permissions privateFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QVERIFY(QFile::setPermissions(server.accountFile(), privateFile));
    const auto isPrivate = [&](const QString &path) {
#ifdef Q_OS_WIN
        Q_UNUSED(path); // access there follows the folder, not permission bits
        return true;
#else
        const auto others = ~(QFileDevice::ReadUser | QFileDevice::WriteUser);
        return (QFile::permissions(path) & others) == privateFile;
#endif
    };
    QByteArray expected = server.accounts();
    QTemporaryDir batchFolder;
    QRandomGenerator random(20261207);

    int attemptNumber = 0;
    const auto nextAttempt = [&] {
        ++attemptNumber;
        if (what == QLatin1String("remove") || what == QLatin1String("set"))
            return editAttempt(what, attemptNumber, server.path());
        Attempt attempt;
        if (what == QLatin1String("add")) {
            const QString name = QStringLiteral("crash%1").arg(attemptNumber);
            attempt.arguments = {QStringLiteral("add"), name,
                                 QStringLiteral("pass%1").arg(attemptNumber),
                                 QStringLiteral("--app-dir"), server.path()};
            const QByteArray record =
                name.toUtf8() + ",pass" + QByteArray::number(attemptNumber) + ",1,none,0\r\n";
            attempt.apply = [record](const QByteArray &before) {
                return before + record;
            };
            return attempt;
        }
        QByteArray batch;
        QByteArray records;
        for (int i = 0; i < 1000; ++i) {
            const QByteArray line = "batch" + QByteArray::number(attemptNumber) + "x" +
                                    QByteArray::number(i) + ",secret,0,b@example.org,384";
            batch += line + "\n";
            records += line + "\r\n";
        }
        attempt.apply = [records](const QByteArray &before) {
            return before + records;
        };
        const QString batchPath =
            batchFolder.filePath(QStringLiteral("batch%1.txt").arg(attemptNumber));
        QFile file(batchPath);
        if (file.open(QIODevice::WriteOnly))
            file.write(batch);
        attempt.arguments = {QStringLiteral("import"), batchPath, QStringLiteral("--app-dir"),
                             server.path()};
        return attempt;
    };

    // How long one whole run takes here, so the kills spread over all of it.
    QElapsedTimer timer;
    timer.start();
    {
        const Attempt attempt = nextAttempt();
        QCOMPARE(runKadd(attempt.arguments, server.workFolder()).exitCode, 0);
        expected = attempt.apply(expected);
        QCOMPARE(server.accounts(), expected);
    }
    const int span = int(timer.elapsed()) + 20;

    kills = kills * killsPercent / 100;
    int completed = 0;
    int unchanged = 0;
    for (int kill = 0; kill < kills; ++kill) {
        const Attempt attempt = nextAttempt();
        // Under Wine a process start now and then fails for want of the system's attention; that
        // says nothing of kadd, so it is tried again.
        QScopedPointer<QProcess> run(startKadd(attempt.arguments, server.workFolder()));
        for (int retry = 0; retry < 2 && !run->waitForStarted(30000); ++retry)
            run.reset(startKadd(attempt.arguments, server.workFolder()));
        QVERIFY2(run->waitForStarted(30000), qPrintable(run->errorString()));
        QTest::qSleep(random.bounded(span));
        run->kill();
        QVERIFY(run->waitForFinished(60000));

        for (const QString &copy :
             {server.tempFile(), server.accountFile() + QStringLiteral(".new")}) {
            if (QFileInfo::exists(copy))
                QVERIFY2(isPrivate(copy), qPrintable(copy));
        }
        const QByteArray after = server.accounts();
        if (after == expected) {
            ++unchanged;
        } else {
            QVERIFY2(after == attempt.apply(expected),
                     qPrintable(QStringLiteral("kill %1 left a file that is neither the old nor "
                                               "the new one")
                                    .arg(kill)));
            expected = after;
            ++completed;
        }

        // The dead run's lock and kAdd.tmp must not stand in the way of the next one.
        const Attempt next = nextAttempt();
        const KaddResult recovery = runKadd(next.arguments, server.workFolder());
        QVERIFY2(recovery.exitCode == 0, recovery.err.constData());
        expected = next.apply(expected);
        QCOMPARE(server.accounts(), expected);
        QVERIFY(isPrivate(server.accountFile()));
    }
    qInfo("%s: %d kills, %d left the old file, %d the new one", qPrintable(what), kills, unchanged,
          completed);

    QVERIFY(!QFile::exists(server.tempFile()));
}

void CrashConsistencyTest::killedSingleAddLeavesOldOrNewFile()
{
    killRepeatedly(QStringLiteral("add"), 120);
}

void CrashConsistencyTest::killedImportLeavesOldOrNewFile()
{
    killRepeatedly(QStringLiteral("import"), 100);
}

void CrashConsistencyTest::killedRemoveLeavesOldOrNewFile()
{
    killRepeatedly(QStringLiteral("remove"), 100);
}

void CrashConsistencyTest::killedSetLeavesOldOrNewFile()
{
    killRepeatedly(QStringLiteral("set"), 100);
}

QTEST_GUILESS_MAIN(CrashConsistencyTest)
#include "tst_crashconsistency.moc"
