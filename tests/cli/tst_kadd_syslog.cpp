#include "tests/support/BuiltProgram.h"
#include "tests/support/ServerFolder.h"

#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// kadd's record goes through the real syslog(3) path: a datagram socket stands where the system
// logger listens, at /dev/log, in a mount namespace of kadd's own, so the system's own log is
// neither read nor written.
class KaddSyslogTest : public QObject
{
    Q_OBJECT

private slots:
    void recordReachesTheLogSocket();
};

void KaddSyslogTest::recordReachesTheLogSocket()
{
    const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
    if (geteuid() != 0 || unshare.isEmpty())
        QSKIP("needs root and unshare(1) to put a socket at /dev/log in a namespace of its own");
    ServerFolder server("bob,pw12,1,none,0\r\n");
    const QString socketPath = server.workFolder() + QStringLiteral("/log");
    const int log = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(socketPath).constData(), sizeof address.sun_path);
    QVERIFY(bind(log, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
    const auto closeLog = qScopeGuard([log] { close(log); });

    const QString password = QStringLiteral("Sup3rSecret");
    QProcess kadd;
    kadd.setWorkingDirectory(server.workFolder());
    kadd.start(unshare, {"--mount", "--propagation", "private", "sh", "-c",
                         "mount -t tmpfs kelto-dev /dev && : >/dev/log && "
                         "mount --bind \"$0\" /dev/log || exit 97\nexec \"$@\"",
                         socketPath, builtProgram(KADD_PATH), "add", "alice", password, "--female",
                         "--gm", "WARP+WHOIS", "--app-dir", server.path()});
    QVERIFY(kadd.waitForFinished(30000));
    const QByteArray errors = kadd.readAllStandardError();
    if (kadd.exitCode() == 97 || errors.startsWith("unshare:"))
        QSKIP(qPrintable("no mount namespace here: " + errors));
    QCOMPARE(kadd.exitCode(), 0);

    // kadd sent its records before it ended: they wait in the socket.
    QList<QByteArray> records;
    char buffer[8192];
    for (pollfd waiting{log, POLLIN, 0}; poll(&waiting, 1, 500) > 0;)
        records.append(QByteArray(buffer, recv(log, buffer, sizeof buffer, 0)));
    QCOMPARE(records.size(), 1);
    // Priority 38: the auth facility (4) at the informational level (6).
    const QByteArray expected =
        "]: account added: alice (female, e-mail none, GM 384 WARP+WHOIS); account file " +
        server.accountFile().toUtf8() + "; program kadd; operator root (uid 0)";
    QVERIFY2(records[0].startsWith("<38>") && records[0].contains(" kadd[") &&
                 records[0].contains(expected) && !records[0].contains(password.toUtf8()),
             records[0].constData());
}

QTEST_GUILESS_MAIN(KaddSyslogTest)
#include "tst_kadd_syslog.moc"
