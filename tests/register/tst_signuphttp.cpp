#include "register/HttpService.h"
#include "register/ServiceMetrics.h"
#include "register/ServiceOptions.h"
#include "register/SignUpBatcher.h"
#include "register/SignUpService.h"

#include "tests/support/AuditSinks.h"
#include "tests/support/ServerFolder.h"

#include <QTcpSocket>
#include <QTest>

#include <memory>

namespace {

struct Reply
{
    int status = 0;
    QByteArray head;
    QByteArray body;
    QByteArray header(const QByteArray &name) const
    {
        for (const QByteArray &line : head.split('\n')) {
            if (line.toLower().startsWith(name.toLower() + ':'))
                return line.mid(name.size() + 1).trimmed();
        }
        return {};
    }
};

// One request on a connection of its own, read to its close.
Reply request(quint16 port, const QByteArray &method, const QByteArray &path,
              const QByteArray &headers = {}, const QByteArray &body = {})
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(5000))
        return {};
    socket.write(method + ' ' + path + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n" +
                 headers + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" +
                 body);
    QByteArray all;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(10000))
        all += socket.readAll();
    all += socket.readAll();
    Reply reply;
    const qsizetype split = all.indexOf("\r\n\r\n");
    reply.head = all.left(split);
    reply.body = all.mid(split + 4);
    reply.status = all.mid(9, 3).toInt();
    return reply;
}

const QByteArray json = "Content-Type: application/json\r\n";
const QByteArray form = "Content-Type: application/x-www-form-urlencoded\r\n";
const QByteArray wantJson = "Content-Type: application/x-www-form-urlencoded\r\n"
                            "Accept: application/json\r\n";

// The service as the program runs it, on a port of its own on loopback.
struct RunningService
{
    explicit RunningService(const ServerFolder &server, ServiceOptions options = {})
    {
        options.serverFolder = server.path();
        options.listen = *ListenAddress::parse(QStringLiteral("127.0.0.1:0"));
        batcher = std::make_unique<SignUpBatcher>(options.serverFolder, options.queueLimit);
        service = std::make_unique<SignUpService>(options, *batcher, metrics);
        http = std::make_unique<HttpService>(*service, metrics);
        QVERIFY(http->start(options).isEmpty());
        port = http->port();
    }
    ~RunningService()
    {
        http->stopListening();
        batcher->finish();
        http->stop();
    }

    ServiceMetrics metrics;
    std::unique_ptr<SignUpBatcher> batcher;
    std::unique_ptr<SignUpService> service;
    std::unique_ptr<HttpService> http;
    quint16 port = 0;
};

} // namespace

class SignUpHttpTest : public QObject
{
    Q_OBJECT

private slots:
    void answers_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("headers");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QByteArray>("line"); // the line the file gains, if any

        QTest::newRow("page") << QByteArray("GET") << QByteArray("/") << QByteArray()
                              << QByteArray() << 200 << QByteArray("<form") << QByteArray();
        // GM flags asked for are never given.
        QTest::newRow("created, JSON")
            << QByteArray("POST") << QByteArray("/register") << json
            << QByteArray("{\"username\":\"newbie\",\"password\":\"secret\",\"email\":\"n@x.org\","
                          "\"gm\":\"65535\"}")
            << 201 << QByteArray("{\"created\":\"newbie\"}")
            << QByteArray("newbie,secret,1,n@x.org,0\r\n");
        QTest::newRow("refused, answer page")
            << QByteArray("POST") << QByteArray("/register") << form
            << QByteArray("username=Ma%C3%AFa&password=se+cret&password2=se+cret&gender=female")
            << 422 << QByteArray("No spaces in Password") << QByteArray();
        QTest::newRow("created, form")
            << QByteArray("POST") << QByteArray("/register") << form
            << QByteArray("username=Ma%C3%AFa&password=secret&password2=secret&gender=female&gm=1")
            << 201 << QByteArray("Account created")
            << QByteArray("Ma\xC3\xAF"
                          "a,secret,0,none,0\r\n");
        QTest::newRow("taken in another case")
            << QByteArray("POST") << QByteArray("/register") << json
            << QByteArray("{\"username\":\"WANDERER\",\"password\":\"secret\"}") << 409
            << QByteArray("{\"error\":\"Username exist\"}") << QByteArray();
        QTest::newRow("a rule") << QByteArray("POST") << QByteArray("/register") << json
                                << QByteArray("{\"username\":\"abc\",\"password\":\"secret\"}")
                                << 422
                                << QByteArray(
                                       "{\"error\":\"User name must be 4 to 16 characters\"}")
                                << QByteArray();
        QTest::newRow("passwords differ")
            << QByteArray("POST") << QByteArray("/register") << wantJson
            << QByteArray("username=newbie&password=secret&password2=secrets") << 422
            << QByteArray("{\"error\":\"Passwords do not match\"}") << QByteArray();
        QTest::newRow("unreadable")
            << QByteArray("POST") << QByteArray("/register") << json << QByteArray("{\"username\":")
            << 400 << QByteArray() << QByteArray();
        QTest::newRow("too large") << QByteArray("POST") << QByteArray("/register") << json
                                   << QByteArray(5000, 'x') << 413 << QByteArray() << QByteArray();
        QTest::newRow("no such page") << QByteArray("GET") << QByteArray("/admin") << QByteArray()
                                      << QByteArray() << 404 << QByteArray() << QByteArray();
        QTest::newRow("wrong method")
            << QByteArray("GET") << QByteArray("/register") << QByteArray() << QByteArray() << 405
            << QByteArray() << QByteArray();
        QTest::newRow("health") << QByteArray("GET") << QByteArray("/healthz") << QByteArray()
                                << QByteArray() << 200 << QByteArray("ok") << QByteArray();
        QTest::newRow("counters") << QByteArray("GET") << QByteArray("/metrics") << QByteArray()
                                  << QByteArray() << 200
                                  << QByteArray("kelto_register_accounts_created_total 0")
                                  << QByteArray();
        QTest::newRow("counters, relayed") << QByteArray("GET") << QByteArray("/metrics")
                                           << QByteArray("X-Forwarded-For: 192.0.2.7\r\n")
                                           << QByteArray() << 404 << QByteArray() << QByteArray();
    }
    void answers()
    {
        QFETCH(QByteArray, method);
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, headers);
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(QByteArray, answer);
        QFETCH(QByteArray, line);
        const QByteArray before = "wanderer,pw,1,none,0\r\n";
        ServerFolder server(before);
        WorkingFolder working(server.workFolder());
        RecordingAuditSink log;
        const RunningService service(server);

        const Reply reply = request(service.port, method, path, headers, body);
        QCOMPARE(reply.status, status);
        QVERIFY2(reply.body.contains(answer), reply.body.constData());
        QCOMPARE(server.accounts(), before + line);
        QVERIFY(reply.header("Content-Security-Policy").startsWith("default-src 'self'"));
        QCOMPARE(reply.header("X-Content-Type-Options"), QByteArray("nosniff"));
        QCOMPARE(reply.header("Referrer-Policy"), QByteArray("no-referrer"));
        QCOMPARE(reply.header("Cache-Control"), QByteArray("no-store"));
        // Nothing a player sends reaches the log but through a change, and never a password.
        for (const AuditRecord &record : std::as_const(log.records))
            QVERIFY(!record.text.contains(QStringLiteral("secret")));
    }

    void anAddressGetsItsHourlyShare()
    {
        ServerFolder server;
        WorkingFolder working(server.workFolder());
        RecordingAuditSink log;
        ServiceOptions options;
        options.perAddressPerHour = 2;
        const RunningService service(server, options);
        QList<int> statuses;
        for (const char *name : {"first", "FIRST", "third"})
            statuses.append(
                request(service.port, "POST", "/register", json,
                        QByteArray("{\"username\":\"name") + name + "\",\"password\":\"secret\"}")
                    .status);
        QCOMPARE(statuses, (QList<int>{201, 409, 429}));
        const Reply limited = request(service.port, "POST", "/register", json,
                                      "{\"username\":\"fourth\",\"password\":\"secret\"}");
        QVERIFY(limited.header("Retry-After").toInt() > 3500);
    }

    // The log names the client: behind a trusted proxy the address it forwarded, else the peer.
    void clientAddressFromTrustedProxiesOnly_data()
    {
        QTest::addColumn<QString>("proxy");
        QTest::addColumn<QString>("client");
        QTest::newRow("trusted") << QStringLiteral("127.0.0.1") << QStringLiteral("198.51.100.9");
        QTest::newRow("untrusted") << QStringLiteral("192.0.2.1") << QStringLiteral("127.0.0.1");
    }
    void clientAddressFromTrustedProxiesOnly()
    {
        QFETCH(QString, proxy);
        QFETCH(QString, client);
        ServerFolder server;
        WorkingFolder working(server.workFolder());
        RecordingAuditSink log;
        ServiceOptions options;
        options.trustedProxies = {*IpAddress::parse(proxy)};
        const RunningService service(server, options);
        QCOMPARE(request(service.port, "POST", "/register",
                         json + "X-Forwarded-For: 203.0.113.5, 198.51.100.9\r\n",
                         "{\"username\":\"newbie\",\"password\":\"secret\"}")
                     .status,
                 201);
        QCOMPARE(log.records.size(), 1);
        QVERIFY2(log.records.constFirst().text.contains(QStringLiteral("sign-up from ") + client),
                 qPrintable(log.records.constFirst().text));
    }

    void plainHttpOnlyOnLoopback_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("runs");
        QTest::newRow("loopback") << QStringList{QStringLiteral("--listen"),
                                                 QStringLiteral("[::1]:8080")}
                                  << true;
        QTest::newRow("every address")
            << QStringList{QStringLiteral("--listen"), QStringLiteral("0.0.0.0:8080")} << false;
        QTest::newRow("every address, allowed")
            << QStringList{QStringLiteral("--listen"), QStringLiteral("0.0.0.0:8080"),
                           QStringLiteral("--allow-plain-http")}
            << true;
    }
    void plainHttpOnlyOnLoopback()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, runs);
        ServerFolder server;
        const ServiceCommandLine line =
            parseServiceCommandLine(QStringList{QStringLiteral("kelto-register"),
                                                QStringLiteral("--app-dir"), server.path()} +
                                        arguments,
                                    [] { return QString(); }, {});
        QCOMPARE(line.action,
                 runs ? ServiceCommandLine::Action::Run : ServiceCommandLine::Action::UsageError);
        if (!runs)
            QVERIFY(line.text.contains(QStringLiteral("clear text")));
    }
};

QTEST_GUILESS_MAIN(SignUpHttpTest)
#include "tst_signuphttp.moc"
