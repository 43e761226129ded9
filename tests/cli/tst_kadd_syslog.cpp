#include "tests/support/BuiltProgram.h"
#include "tests/support/ServerFolder.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// kadd's records reach the system log through the real syslog(3) path: a datagram socket stands
// where the system logger listens, at /dev/log, in a mount namespace of kadd's own.
class KaddSyslogTest : public QObject
{
    Q_OBJECT

private slots:
    void recordsReachTheLogSocket();
};

namespace {

// Inside its own mount namespace the script gives kadd a /dev holding only the test's socket,
// so the system's own log (if any) is neither read nor written. 97: the namespace was refused.
const QString inNamespace = QStringLiteral(
    "mount -t tmpfs kelto-dev /dev && : >/dev/log && mount --bind \"$0\" /dev/log || exit 97\n"
    "exec \"$@\"");

class LogSocket
{
public:
    explicit LogSocket(const QString &path) : m_fd(socket(AF_UNIX, SOCK_DGRAM, 0))
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        if (m_fd < 0 || size_t(name.size()) >= sizeof address.sun_path)
            return;
        memcpy(address.sun_path, name.constData(), size_t(name.size()));
        m_bound = bind(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    }
    ~LogSocket()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    bool bound() const { return m_bound; }

    // Every datagram waiting, and any that follows soon: kadd sent its records before it ended.
    QList<QByteArray> receive()
    {
        QList<QByteArray> got;
        pollfd waiting{m_fd, POLLIN, 0};
        char buffer[8192];
        while (poll(&waiting, 1, 500) > 0) {
            const ssize_t size = recv(m_fd, buffer, sizeof buffer, 0);
            if (size <= 0)
                break;
            got.append(QByteArray(buffer, size));
        }
        return got;
    }

private:
    int m_fd;
    bool m_bound = false;
};

} // namespace

void KaddSyslogTest::recordsReachTheLogSocket()
{
    const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
    if (geteuid() != 0 || unshare.isEmpty())
        QSKIP("needs root and unshare(1) to put a socket at /dev/log in a namespace of its own");
    QTemporaryDir sockets;
    LogSocket log(sockets.filePath(QStringLiteral("log")));
    QVERIFY(log.bound());
    ServerFolder server("bob,pw12,1,none,0\r\n");
    const QString password = QStringLiteral("Sup3rSecret");

    QProcess kadd;
    kadd.setWorkingDirectory(server.workFolder());
    kadd.start(unshare,
               {"--mount", "--propagation", "private", "sh", "-c", inNamespace,
                sockets.filePath(QStringLiteral("log")), builtProgram(KADD_PATH), "add", "alice",
                password, "--female", "--gm", "WARP+WHOIS", "--app-dir", server.path()});
    QVERIFY(kadd.waitForFinished(30000));
    if (kadd.exitCode() == 97 || (kadd.exitCode() != 0 && kadd.readAllStandardOutput().isEmpty()))
        QSKIP(qPrintable("no mount namespace here: " + kadd.readAllStandardError()));
    QCOMPARE(kadd.exitCode(), 0);

    const QList<QByteArray> records = log.receive();
    QCOMPARE(records.size(), 1);
    // Priority 38: the auth facility (4) at the informational level (6).
    QVERIFY2(records[0].startsWith("<38>"), records[0].constData());
    const QByteArray expected =
        "]: account added: alice (female, e-mail none, GM 384 WARP+WHOIS); account file " +
        server.accountFile().toUtf8() + "; program kadd; operator root (uid 0)";
    QVERIFY2(records[0].contains(" kadd[") && records[0].contains(expected),
             records[0].constData());
    QVERIFY(!records[0].contains(password.toUtf8()));
}

QTEST_GUILESS_MAIN(KaddSyslogTest)
#include "tst_kadd_syslog.moc"
