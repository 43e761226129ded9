// kelto-register killed (SIGKILL) while clients register: an answer 201 is a promise that the
// account is on disk, so every name answered so must be in the file, once, whatever moment the
// service died at; and the file must hold only whole records. The rounds share one folder, so
// each start also takes over whatever the killed one left behind.

#include "tests/support/BuiltProgram.h"
#include "tests/support/ServerFolder.h"

#include <QElapsedTimer>
#include <QHash>
#include <QProcess>
#include <QTest>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

class SignUpKillTest : public QObject
{
    Q_OBJECT

private slots:
    void killedServiceBrokeNoPromise();
};

namespace {

QByteArray newRecord(const QByteArray &name)
{
    return name + ",pw" + name + ",1,none,0\r\n"; // the service writes "none" for no e-mail
}

// One client: registrations of its own names, one after another on one connection, until the
// service is gone. Returns the names answered 201.
QList<QByteArray> registerUntilGone(quint16 port, const QByteArray &prefix,
                                    std::atomic<int> &answers)
{
    QList<QByteArray> created;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const timeval wait{30, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return created;
    }
    QByteArray in;
    for (int i = 0;; ++i) {
        const QByteArray name = prefix + QByteArray::number(i);
        const QByteArray body = R"({"username":")" + name + R"(","password":"pw)" + name +
                                R"(","password2":"pw)" + name + R"("})";
        const QByteArray request = "POST /register HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                   "Content-Type: application/json\r\nContent-Length: " +
                                   QByteArray::number(body.size()) + "\r\n\r\n" + body;
        if (::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) != request.size())
            break;
        qsizetype headerEnd = -1;
        qsizetype length = 0;
        while (headerEnd < 0 || in.size() < headerEnd + 4 + length) {
            char buffer[2048];
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0) {
                ::close(fd);
                return created;
            }
            in.append(buffer, got);
            headerEnd = in.indexOf("\r\n\r\n");
            const qsizetype at = in.toLower().indexOf("content-length:");
            if (headerEnd >= 0 && at >= 0 && at < headerEnd)
                length = in.mid(at + 15, headerEnd - at - 15)
                             .split('\r')
                             .constFirst()
                             .trimmed()
                             .toLongLong();
        }
        if (in.startsWith("HTTP/1.1 201")) {
            created.append(name);
            ++answers;
        }
        in.remove(0, headerEnd + 4 + length);
    }
    ::close(fd);
    return created;
}

} // namespace

void SignUpKillTest::killedServiceBrokeNoPromise()
{
    QByteArray original;
    for (int i = 0; i < 3000; ++i)
        original += newRecord("old" + QByteArray::number(i));
    const ServerFolder folder(original);
    QList<QByteArray> promised;
    constexpr int clients = 8;

    // Counted in answers rather than time, so that a slow disk still sees the kill mid-load.
    for (const int killAfter : {1, 150, 700}) {
        QProcess service;
        service.setWorkingDirectory(folder.workFolder());
        service.start(builtProgram(REGISTER_PATH),
                      {QStringLiteral("--app-dir"), folder.path(), QStringLiteral("--listen"),
                       QStringLiteral("127.0.0.1:0"), QStringLiteral("--per-address-per-hour"),
                       QStringLiteral("0"), QStringLiteral("--connections-per-address"),
                       QStringLiteral("0")});
        while (!service.canReadLine())
            QVERIFY(service.waitForReadyRead(10000));
        const QByteArray line = service.readLine();
        const qsizetype at = line.indexOf("127.0.0.1:");
        QVERIFY2(at >= 0, line.constData());
        const quint16 port = quint16(line.mid(at + 10).split('/').constFirst().toUInt());

        std::mutex mutex;
        std::atomic<int> answers{0};
        QList<QByteArray> answered;
        std::vector<std::thread> threads;
        for (int c = 0; c < clients; ++c) {
            const QByteArray prefix =
                "k" + QByteArray::number(killAfter) + "c" + QByteArray::number(c) + "n";
            threads.emplace_back([&, prefix] {
                const QList<QByteArray> mine = registerUntilGone(port, prefix, answers);
                const std::lock_guard<std::mutex> lock(mutex);
                answered += mine;
            });
        }
        QElapsedTimer waited;
        waited.start();
        while (answers < killAfter && waited.elapsed() < 30000)
            QTest::qSleep(1);
        service.kill();
        const bool ended = service.waitForFinished(10000);
        for (std::thread &thread : threads)
            thread.join();
        QVERIFY(ended);
        QVERIFY2(!answered.isEmpty(), "no registration was answered before the kill");
        promised += answered;

        const QByteArray file = folder.accounts();
        QVERIFY(file.startsWith(original));
        QVERIFY2(file.endsWith("\r\n"), "the file ends mid-record");
        QHash<QByteArray, int> times;
        qsizetype lines = 0;
        for (qsizetype pos = 0; pos < file.size(); ++lines) {
            const qsizetype end = file.indexOf("\r\n", pos) + 2;
            const QByteArray record = file.mid(pos, end - pos);
            const QByteArray name = record.left(record.indexOf(','));
            // A new line must be a registration's record exactly: a torn one is not.
            QVERIFY2(pos < original.size() || (name.startsWith('k') && record == newRecord(name)),
                     ("not a whole record of a registration: " + record).constData());
            QVERIFY2(++times[name] == 1, ("twice in the file: " + name).constData());
            pos = end;
        }
        for (const QByteArray &name : std::as_const(promised))
            QVERIFY2(times.value(name) == 1,
                     ("answered 201 but not in the file: " + name).constData());
        qInfo("killed after %d answers: %lld answered 201 (%lld in all rounds), "
              "%lld lines in the file (%lld new)",
              killAfter, qlonglong(answered.size()), qlonglong(promised.size()), qlonglong(lines),
              qlonglong(lines - 3000));
    }
}

QTEST_GUILESS_MAIN(SignUpKillTest)
#include "tst_signupkill.moc"
