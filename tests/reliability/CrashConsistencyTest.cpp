// Kills kadd (SIGKILL, or TerminateProcess on Windows) at random moments of an update, again and
// again, and checks after every kill that the account file is either exactly the old file or
// exactly the old file plus the new record(s), and that the next run still works: the dead
// process's lock is taken over and its kAdd.tmp overwritten.

#include "KaddProcess.h"
#include "ServerFolder.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryFile>
#include <QTest>

class CrashConsistencyTest : public QObject
{
    Q_OBJECT

private slots:
    void killedSingleAddLeavesOldOrNewFile();
    void killedImportLeavesOldOrNewFile();

private:
    void killRepeatedly(const QString &what, int kills);
};

namespace {

constexpr int accountsInFile = 200000;

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
        bytes += QByteArray("player") + QByteArray::number(i) + ",secret" +
                 QByteArray::number(i % 977) + "," + QByteArray::number(i % 2) + ",p" +
                 QByteArray::number(i) + "@example.org,0\r\n";
    return bytes;
}

// What one attempt adds: a single record, or a batch file for import.
struct Attempt
{
    QStringList arguments;
    QByteArray records; // appended by a run that completes
};

} // namespace

void CrashConsistencyTest::killRepeatedly(const QString &what, int kills)
{
    ServerFolder server(bigAccountFile());
    QByteArray expected = server.accounts();
    QTemporaryDir batchFolder;
    QRandomGenerator random(20261207);

    int attemptNumber = 0;
    const auto nextAttempt = [&] {
        ++attemptNumber;
        Attempt attempt;
        if (what == QLatin1String("add")) {
            const QString name = QStringLiteral("crash%1").arg(attemptNumber);
            attempt.arguments = {QStringLiteral("add"), name,
                                 QStringLiteral("pass%1").arg(attemptNumber),
                                 QStringLiteral("--app-dir"), server.path()};
            attempt.records =
                name.toUtf8() + ",pass" + QByteArray::number(attemptNumber) + ",1,none,0\r\n";
            return attempt;
        }
        QByteArray batch;
        for (int i = 0; i < 1000; ++i) {
            const QByteArray line = "batch" + QByteArray::number(attemptNumber) + "x" +
                                    QByteArray::number(i) + ",secret,0,b@example.org,384";
            batch += line + "\n";
            attempt.records += line + "\r\n";
        }
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
        expected += attempt.records;
        QCOMPARE(server.accounts(), expected);
    }
    const int span = int(timer.elapsed()) + 20;

    kills = kills * killsPercent / 100;
    int completed = 0;
    int unchanged = 0;
    for (int kill = 0; kill < kills; ++kill) {
        const Attempt attempt = nextAttempt();
        QScopedPointer<QProcess> run(startKadd(attempt.arguments, server.workFolder()));
        QVERIFY(run->waitForStarted(10000));
        QTest::qSleep(random.bounded(span));
        run->kill();
        QVERIFY(run->waitForFinished(60000));

        const QByteArray after = server.accounts();
        if (after == expected) {
            ++unchanged;
        } else {
            QVERIFY2(after == expected + attempt.records,
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
        expected += next.records;
        QCOMPARE(server.accounts(), expected);
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

QTEST_GUILESS_MAIN(CrashConsistencyTest)
#include "CrashConsistencyTest.moc"
