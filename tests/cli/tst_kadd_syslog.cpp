#include "tests/support/BuiltProgram.h"
#include "tests/support/ServerFolder.h"

#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>

#include <cerrno>
#include <memory>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// kadd's records go to a datagram socket standing where the system logger listens, at /dev/log,
// in a mount namespace of kadd's own, so the system's own log is neither read nor written.
class KaddSyslogTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void recordReachesTheLogSocket();
    void stalledLogDoesNotHoldTheChange();

private:
    // Runs kadd add with the socket at /dev/log; false when it did not end within the limit.
    bool addAlice(QProcess &kadd, int limitMs);

    std::unique_ptr<ServerFolder> m_server;
    sockaddr_un m_address{};
    int m_log = -1;
    const QString m_password = QStringLiteral("Sup3rSecret");
};

void KaddSyslogTest::init()
{
    const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
    if (geteuid() != 0 || unshare.isEmpty())
        QSKIP("needs root and unshare(1) to put a socket at /dev/log in a namespace of its own");
    m_server = std::make_unique<ServerFolder>("bob,pw12,1,none,0\r\n");
    const QString socketPath = m_server->workFolder() + QStringLiteral("/log");
    m_log = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    m_address.sun_family = AF_UNIX;
    qstrncpy(m_address.sun_path, QFile::encodeName(socketPath).constData(),
             sizeof m_address.sun_path);
    QVERIFY(bind(m_log, reinterpret_cast<sockaddr *>(&m_address), sizeof m_address) == 0);
}

void KaddSyslogTest::cleanup()
{
    if (m_log >= 0)
        close(m_log);
    m_log = -1;
    m_server.reset();
}

bool KaddSyslogTest::addAlice(QProcess &kadd, int limitMs)
{
    kadd.setWorkingDirectory(m_server->workFolder());
    kadd.start(QStandardPaths::findExecutable(QStringLiteral("unshare")),
               {"--mount", "--propagation", "private", "sh", "-c",
                "mount -t tmpfs kelto-dev /dev && : >/dev/log && "
                "mount --bind \"$0\" /dev/log || exit 97\nexec \"$@\"",
                QFile::decodeName(m_address.sun_path), builtProgram(KADD_PATH), "add", "alice",
                m_password, "--female", "--gm", "WARP+WHOIS", "--app-dir", m_server->path()});
    return kadd.waitForFinished(limitMs);
}

void KaddSyslogTest::recordReachesTheLogSocket()
{
    QProcess kadd;
    QVERIFY(addAlice(kadd, 30000));
    const QByteArray errors = kadd.readAllStandardError();
    if (kadd.exitCode() == 97 || errors.startsWith("unshare:"))
        QSKIP(qPrintable("no mount namespace here: " + errors));
    QCOMPARE(kadd.exitCode(), 0);
    QCOMPARE(errors, QByteArray());

    // kadd sent its records before it ended: they wait in the socket.
    QList<QByteArray> records;
    char buffer[8192];
    for (pollfd waiting{m_log, POLLIN, 0}; poll(&waiting, 1, 500) > 0;)
        records.append(QByteArray(buffer, recv(m_log, buffer, sizeof buffer, 0)));
    QCOMPARE(records.size(), 1);
    // Priority 38: the auth facility (4) at the informational level (6).
    const QByteArray expected =
        "]: account added: alice (female, e-mail none, GM 384 WARP+WHOIS); account file " +
        m_server->accountFile().toUtf8() + "; program kadd; operator root (uid 0)";
    QVERIFY2(records[0].startsWith("<38>") && records[0].contains(" kadd[") &&
                 records[0].contains(expected) && !records[0].contains(m_password.toUtf8()),
             records[0].constData());
}

// A log service that stopped reading: its socket's queue is full, as a hung journald leaves it.
void KaddSyslogTest::stalledLogDoesNotHoldTheChange()
{
    // One sender's own buffer may fill before the queue does; a fresh sender that cannot send at
    // all finds it full.
    for (int sent = -1; sent != 0;) {
        const int sender = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        for (sent = 0; sendto(sender, "x", 1, MSG_DONTWAIT,
                              reinterpret_cast<sockaddr *>(&m_address), sizeof m_address) == 1;)
            ++sent;
        QCOMPARE(errno, EAGAIN);
        close(sender);
    }
    QProcess kadd;
    QVERIFY2(addAlice(kadd, 10000), "kadd waits on the log for good");
    const QByteArray errors = kadd.readAllStandardError();
    if (kadd.exitCode() == 97 || errors.startsWith("unshare:"))
        QSKIP(qPrintable("no mount namespace here: " + errors));
    QCOMPARE(kadd.exitCode(), 0);
    QCOMPARE(kadd.readAllStandardOutput(), QByteArray("Created alice\n"));
    QCOMPARE(errors, QByteArray("kadd: the system log did not take 1 record\n"));
}

QTEST_GUILESS_MAIN(KaddSyslogTest)
#include "tst_kadd_syslog.moc"
