#include "register/ServiceOptions.h"

#include "core/AccountFile.h"
#include "core/ServerLocation.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>

#include <optional>

namespace {

const QString appDirName = QStringLiteral("app-dir");
const QString listenName = QStringLiteral("listen");
const QString certName = QStringLiteral("tls-cert");
const QString keyName = QStringLiteral("tls-key");
const QString plainName = QStringLiteral("allow-plain-http");
const QString proxyName = QStringLiteral("trusted-proxy");
const QString perHourName = QStringLiteral("per-address-per-hour");
const QString connectionsName = QStringLiteral("connections-per-address");
const QString queueName = QStringLiteral("queue-limit");
const QString pageName = QStringLiteral("page");
const QString workName = QStringLiteral("proof-of-work");

constexpr int maxProofOfWorkBits = 28;
constexpr qint64 maxFileBytes = 1024 * 1024;

void describe(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Lets players sign up themselves: a small web service that adds each new account to the "
        "game server's account file (kData/kPlayer/kAdd.txt), under the same rules, lock and "
        "safe replacement as kadd, writing the registrations that arrive together in one "
        "update.\n\n"
        "GET / is the sign-up page, POST /register adds an account (a form or JSON), GET /healthz "
        "tells whether the account file can be updated, GET /metrics (loopback only) gives "
        "counters for Prometheus.\n\n"
        "SIGTERM or SIGINT (Ctrl+C): stop taking requests, write and answer the registrations "
        "that are waiting, and exit 0."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {appDirName,
         QStringLiteral("The server folder, which holds kData/kPlayer/kAdd.txt. Without it: the "
                        "program's folder or the one above it, when either holds the account "
                        "file, else the environment variable KELTO_APP_DIR."),
         QStringLiteral("DIR")},
        {listenName,
         QStringLiteral("The address and port to listen on (default 127.0.0.1:8080; an IPv6 "
                        "address in brackets, [::1]:8080)."),
         QStringLiteral("ADDRESS:PORT"), QStringLiteral("127.0.0.1:8080")},
        {certName, QStringLiteral("Serve HTTPS with this certificate (PEM, the chain in order)."),
         QStringLiteral("FILE")},
        {keyName, QStringLiteral("The private key of --tls-cert (PEM, not encrypted)."),
         QStringLiteral("FILE")},
        {plainName,
         QStringLiteral("Listen without TLS on an address other than loopback. Passwords then "
                        "cross the network in clear text.")},
        {proxyName,
         QStringLiteral("A reverse proxy's address (repeatable): from these peers alone the last "
                        "address in X-Forwarded-For is taken as the client's."),
         QStringLiteral("ADDRESS")},
        {perHourName,
         QStringLiteral("Registrations a client address may make per hour (default 5; 0: no "
                        "limit). Every registration that reaches the account file counts, a name "
                        "already taken too."),
         QStringLiteral("N"), QStringLiteral("5")},
        {connectionsName,
         QStringLiteral("Connections one peer address may hold open at once (default 32, none "
                        "with --trusted-proxy; 0: no limit)."),
         QStringLiteral("N")},
        {queueName,
         QStringLiteral("Registrations that may wait for the account file at once (default "
                        "10000); beyond them the answer is 503."),
         QStringLiteral("N"), QStringLiteral("10000")},
        {pageName,
         QStringLiteral("Serve this HTML file at / instead of the built-in page (UTF-8; "
                        "{{challenge}} and {{bits}} in it are filled in)."),
         QStringLiteral("FILE")},
        {workName,
         QStringLiteral("Ask the page's script for a proof of work of BITS zero bits (1 to %1; "
                        "default 0: off). Each step of 1 doubles a browser's time; see the "
                        "manual for the cost of each setting. Sign-up then needs JavaScript.")
             .arg(maxProofOfWorkBits),
         QStringLiteral("BITS"), QStringLiteral("0")},
    });
}

ServiceCommandLine usage(const QString &text)
{
    ServiceCommandLine line;
    line.action = ServiceCommandLine::Action::UsageError;
    line.text = text + QStringLiteral("\nTry 'kelto-register --help' for more information.");
    return line;
}

ServiceCommandLine cannotStart(const QString &text)
{
    ServiceCommandLine line;
    line.action = ServiceCommandLine::Action::CannotStart;
    line.text = text;
    return line;
}

std::optional<int> number(const QCommandLineParser &parser, const QString &name, int low, int high)
{
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<QByteArray> readSmallFile(const QString &path, QString &error)
{
    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.read(maxFileBytes + 1);
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        error = QStringLiteral("cannot read %1: %2")
                    .arg(QDir::toNativeSeparators(path), file.errorString());
        return std::nullopt;
    }
    if (bytes.size() > maxFileBytes) {
        error = QStringLiteral("%1 is larger than 1 MiB").arg(QDir::toNativeSeparators(path));
        return std::nullopt;
    }
    return bytes;
}

} // namespace

ServiceCommandLine parseServiceCommandLine(const QStringList &arguments,
                                           const std::function<QString()> &programFolder,
                                           const QString &environmentFolder)
{
    QCommandLineParser parser;
    describe(parser);
    if (!parser.parse(arguments))
        return usage(parser.errorText());
    ServiceCommandLine line;
    line.action = ServiceCommandLine::Action::ShowText;
    if (parser.isSet(QStringLiteral("help"))) {
        line.text = parser.helpText();
        return line;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        line.text = QStringLiteral("kelto-register " KELTO_VERSION "\n");
        return line;
    }
    if (!parser.positionalArguments().isEmpty())
        return usage(QStringLiteral("unexpected argument: %1")
                         .arg(parser.positionalArguments().constFirst()));

    ServiceOptions &options = line.options;
    const std::optional<ListenAddress> listen = ListenAddress::parse(parser.value(listenName));
    if (!listen)
        return usage(QStringLiteral("--listen needs ADDRESS:PORT, such as 127.0.0.1:8080 or "
                                    "[::1]:8080, not '%1'")
                         .arg(parser.value(listenName)));
    options.listen = *listen;
    for (const QString &text : parser.values(proxyName)) {
        const std::optional<IpAddress> proxy = IpAddress::parse(text);
        if (!proxy)
            return usage(QStringLiteral("--trusted-proxy needs an IP address, not '%1'").arg(text));
        options.trustedProxies.append(*proxy);
    }
    const std::optional<int> perHour = number(parser, perHourName, 0, 1000000);
    if (!perHour)
        return usage(QStringLiteral("--per-address-per-hour needs a number from 0 to 1000000"));
    options.perAddressPerHour = *perHour;
    options.connectionsPerAddress = options.trustedProxies.isEmpty() ? 32 : 0;
    if (parser.isSet(connectionsName)) {
        const std::optional<int> connections = number(parser, connectionsName, 0, 100000);
        if (!connections)
            return usage(
                QStringLiteral("--connections-per-address needs a number from 0 to 100000"));
        options.connectionsPerAddress = *connections;
    }
    const std::optional<int> queue = number(parser, queueName, 1, 1000000);
    if (!queue)
        return usage(QStringLiteral("--queue-limit needs a number from 1 to 1000000"));
    options.queueLimit = *queue;
    const std::optional<int> bits = number(parser, workName, 0, maxProofOfWorkBits);
    if (!bits)
        return usage(QStringLiteral("--proof-of-work needs a number of bits from 0 to %1")
                         .arg(maxProofOfWorkBits));
    options.proofOfWorkBits = *bits;

    const bool tls = parser.isSet(certName) || parser.isSet(keyName);
    if (tls && !(parser.isSet(certName) && parser.isSet(keyName)))
        return usage(QStringLiteral("--tls-cert and --tls-key go together"));
    if (!tls && !options.listen.isLoopback() && !parser.isSet(plainName))
        return usage(
            QStringLiteral("%1 is not a loopback address, and without TLS the players' passwords "
                           "would cross the network in clear text. Give --tls-cert FILE and "
                           "--tls-key FILE, or listen on 127.0.0.1 behind a reverse proxy on "
                           "this machine that serves HTTPS (nginx, Caddy, IIS); "
                           "--allow-plain-http does it anyway.")
                .arg(options.listen.toString()));

    QString error;
    if (tls) {
        const std::optional<QByteArray> cert = readSmallFile(parser.value(certName), error);
        const std::optional<QByteArray> key =
            cert ? readSmallFile(parser.value(keyName), error) : std::nullopt;
        if (!cert || !key)
            return cannotStart(error);
        options.tlsCertificate = *cert;
        options.tlsKey = *key;
    }
    if (parser.isSet(pageName)) {
        const std::optional<QByteArray> page = readSmallFile(parser.value(pageName), error);
        if (!page)
            return cannotStart(error);
        options.page = *page;
    }

    const std::optional<QString> appDir =
        parser.isSet(appDirName) ? std::optional<QString>(parser.value(appDirName)) : std::nullopt;
    if (appDir && appDir->isEmpty())
        return usage(QStringLiteral("--app-dir needs a folder"));
    const QString ownFolder = appDir ? QString() : programFolder();
    const ServerLocation server = locateServerFolder(appDir, ownFolder, environmentFolder);
    if (server.source == ServerFolderSource::None)
        return usage(QStringLiteral("no server folder: kData/kPlayer/kAdd.txt is neither beside "
                                    "kelto-register in %1 nor in the folder above. Name the "
                                    "server folder with --app-dir DIR or the environment "
                                    "variable %2.")
                         .arg(QDir::toNativeSeparators(ownFolder), serverFolderVariable));
    if (const QString missing = missingServerPart(server.path); !missing.isEmpty())
        return cannotStart(QStringLiteral("%1 holds no %2: it is not a server folder")
                               .arg(QDir::toNativeSeparators(server.path), missing));
    setServerLocationInUse(server);
    options.serverFolder = server.path;
    line.action = ServiceCommandLine::Action::Run;
    return line;
}
