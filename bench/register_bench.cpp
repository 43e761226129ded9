// kelto-register under load on an account file of 10^6 records: N keep-alive connections send
// registrations of new names for a while, each connection its next one as soon as the previous is
// answered, for N = 1, 16, 64 and 256. Beside it, in the same run on the same file, the rate of
// one `kadd add` process per registration, which is what a sign-up page calling kadd would get.
// After each load the service is stopped and the file read back: as many new lines as answers
// 201, and each created name in the file exactly once.
//
//   register-bench [SECONDS [CONNECTIONS...]]    default 10 s and 1 16 64 256; run it in a
//                                               folder on the disk you care about

#include "bench/GeneratedAccounts.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

QByteArray recordLine(qint64 index)
{
    const QByteArray name =
        QByteArrayLiteral("player") + QByteArray::number(index).rightJustified(7, '0');
    return name + ",secret" + QByteArray::number(index % 9973) + "," +
           QByteArray::number(index % 2) + "," + name + "@example.org,0\r\n";
}

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

pid_t spawn(const std::vector<QByteArray> &arguments, const QString &folder, int outFd)
{
    std::vector<char *> argv;
    for (const QByteArray &each : arguments)
        argv.push_back(const_cast<char *>(each.constData()));
    argv.push_back(nullptr);
    const QByteArray dir = QFile::encodeName(folder);
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(outFd >= 0 ? outFd : null, 1);
        ::dup2(null, 2);
        if (::chdir(dir.constData()) == 0)
            ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return child;
}

int waitExit(pid_t child)
{
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Service
{
    pid_t pid = -1;
    quint16 port = 0;
};

// The first line the service prints names the port it was given.
Service startService(const QString &server)
{
    int out[2];
    if (::pipe(out) != 0)
        return {};
    Service service;
    service.pid =
        spawn({REGISTER_PATH, "--app-dir", QFile::encodeName(server), "--listen", "127.0.0.1:0",
               "--per-address-per-hour", "0", "--connections-per-address", "0"},
              server, out[1]);
    ::close(out[1]);
    QByteArray line;
    char c = 0;
    while (!line.endsWith('\n') && ::read(out[0], &c, 1) == 1)
        line += c;
    ::close(out[0]);
    const qsizetype at = line.indexOf("127.0.0.1:");
    if (at >= 0)
        service.port = quint16(line.mid(at + 10).split('/').constFirst().toUInt());
    return service;
}

int connectTo(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

// The length of a whole answer at the start of buffer, its status and its body; 0 while more is
// to come.
qsizetype parseAnswer(const QByteArray &buffer, int &status, QByteArray &body)
{
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return 0;
    const QByteArray head = buffer.left(headerEnd).toLower();
    qsizetype length = 0;
    if (const qsizetype at = head.indexOf("\r\ncontent-length:"); at >= 0)
        length = head.mid(at + 17).split('\r').constFirst().trimmed().toLongLong();
    if (buffer.size() < headerEnd + 4 + length)
        return 0;
    status = head.mid(9, 3).toInt();
    body = buffer.mid(headerEnd + 4, length);
    return headerEnd + 4 + length;
}

QByteArray fetchMetrics(quint16 port)
{
    const int fd = connectTo(port);
    if (fd < 0)
        return {};
    const QByteArray request =
        "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    QByteArray answer;
    if (::write(fd, request.constData(), size_t(request.size())) == request.size()) {
        char buffer[4096];
        for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;)
            answer.append(buffer, got);
    }
    ::close(fd);
    return answer;
}

double metric(const QByteArray &text, const QByteArray &name)
{
    for (const QByteArray &line : text.split('\n')) {
        if (line.startsWith(name + ' '))
            return line.mid(name.size() + 1).toDouble();
    }
    return 0;
}

struct Load
{
    QByteArray prefix;
    std::vector<double> answerSeconds;
    QHash<int, int> statuses; // 0: the connection ended without an answer
    std::vector<QByteArray> created;
    double elapsed = 0;
};

struct Connection
{
    int fd = -1;
    QByteArray out;
    qsizetype sent = 0;
    QByteArray in;
    Clock::time_point asked;
    bool waiting = false;
};

// Every connection asks again as soon as it is answered, until the time is up; the answers still
// due then are waited for (at most a minute).
void runLoad(quint16 port, int connections, double duration, Load &load)
{
    std::vector<Connection> links{std::size_t(connections)};
    qint64 next = 0;
    const Clock::time_point start = Clock::now();
    const Clock::time_point stopAsking = start + std::chrono::duration_cast<Clock::duration>(
                                                     std::chrono::duration<double>(duration));
    const Clock::time_point giveUp = stopAsking + std::chrono::seconds(60);
    Clock::time_point lastAnswer = start;
    auto ask = [&](Connection &c) {
        const QByteArray name = load.prefix + QByteArray::number(next++);
        const QByteArray body =
            R"({"username":")" + name + R"(","password":"secret1","password2":"secret1"})";
        c.out = "POST /register HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
                "Content-Length: " +
                QByteArray::number(body.size()) + "\r\n\r\n" + body;
        c.sent = 0;
        c.asked = Clock::now();
        c.waiting = true;
    };
    for (Connection &c : links) {
        c.fd = connectTo(port);
        if (c.fd >= 0) {
            ::fcntl(c.fd, F_SETFL, O_NONBLOCK);
            ask(c);
        }
    }
    std::vector<pollfd> polled;
    std::vector<std::size_t> owner;
    for (;;) {
        polled.clear();
        owner.clear();
        for (std::size_t i = 0; i < links.size(); ++i) {
            const Connection &c = links[i];
            if (c.fd >= 0 && c.waiting) {
                polled.push_back({c.fd, short(c.sent < c.out.size() ? POLLOUT : POLLIN), 0});
                owner.push_back(i);
            }
        }
        if (polled.empty() || Clock::now() > giveUp)
            break;
        ::poll(polled.data(), nfds_t(polled.size()), 100);
        for (std::size_t i = 0; i < polled.size(); ++i) {
            if (!polled[i].revents)
                continue;
            Connection &c = links[owner[i]];
            if (c.sent < c.out.size()) {
                const ssize_t put = ::send(c.fd, c.out.constData() + c.sent,
                                           size_t(c.out.size() - c.sent), MSG_NOSIGNAL);
                if (put > 0)
                    c.sent += put;
                else if (errno != EAGAIN) {
                    ++load.statuses[0];
                    ::close(c.fd);
                    c.fd = -1;
                }
                continue;
            }
            char buffer[4096];
            const ssize_t got = ::recv(c.fd, buffer, sizeof buffer, 0);
            if (got <= 0) {
                if (got < 0 && errno == EAGAIN)
                    continue;
                ++load.statuses[0];
                ::close(c.fd);
                c.fd = -1;
                continue;
            }
            c.in.append(buffer, got);
            int status = 0;
            QByteArray body;
            const qsizetype used = parseAnswer(c.in, status, body);
            if (used == 0)
                continue;
            c.in.remove(0, used);
            const Clock::time_point now = Clock::now();
            load.answerSeconds.push_back(seconds(now - c.asked));
            ++load.statuses[status];
            if (status == 201) {
                const qsizetype at = body.indexOf(R"("created":")");
                load.created.push_back(body.mid(at + 11).split('"').constFirst());
                lastAnswer = now;
            }
            c.waiting = false;
            if (now < stopAsking)
                ask(c);
        }
    }
    for (Connection &c : links) {
        if (c.fd >= 0) {
            if (c.waiting)
                ++load.statuses[0];
            ::close(c.fd);
        }
    }
    load.elapsed = seconds(lastAnswer - start);
}

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(fraction * double(values.size())))];
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Nothing lost: one new line per answer 201, each created name exactly once in the file, every
// line whole.
QString checkFile(const QByteArray &before, const QByteArray &after, const Load &load)
{
    if (!after.startsWith(before) || !after.endsWith("\r\n"))
        return QStringLiteral("the file no longer starts with what it held, or ends mid-line");
    const qsizetype newLines = after.count('\n') - before.count('\n');
    if (newLines != qsizetype(load.created.size()))
        return QStringLiteral("%1 answers 201 but %2 new lines")
            .arg(load.created.size())
            .arg(newLines);
    QHash<QByteArray, int> seen;
    for (const QByteArray &name : load.created)
        seen.insert(name, 0);
    for (qsizetype at = 0; at < after.size();) {
        const qsizetype end = after.indexOf("\r\n", at);
        const qsizetype comma = after.indexOf(',', at);
        if (end < 0 || comma < 0 || comma > end)
            return QStringLiteral("a line that is not a record at byte %1").arg(at);
        if (auto it = seen.find(after.mid(at, comma - at)); it != seen.end())
            ++*it;
        at = end + 2;
    }
    for (auto it = seen.cbegin(); it != seen.cend(); ++it) {
        if (it.value() != 1)
            return QStringLiteral("%1 is in the file %2 times")
                .arg(QString::fromLatin1(it.key()))
                .arg(it.value());
    }
    return {};
}

} // namespace

int main(int argc, char *argv[])
{
    // Ignored in the service too: what it prints after its first line goes into a closed pipe.
    ::signal(SIGPIPE, SIG_IGN);
    const double duration = argc > 1 ? std::max(1.0, QByteArray(argv[1]).toDouble()) : 10;
    std::vector<int> counts;
    for (int i = 2; i < argc; ++i)
        counts.push_back(std::max(1, QByteArray(argv[i]).toInt()));
    if (counts.empty())
        counts = {1, 16, 64, 256};

    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/kelto-bench-XXXXXX"));
    const QString server = dir.filePath(QStringLiteral("server"));
    const QString accounts = server + QStringLiteral("/kData/kPlayer/kAdd.txt");
    const qint64 records = 1000000;
    if (!dir.isValid() || !QDir().mkpath(server + QStringLiteral("/kData/kPlayer")) ||
        !writeAccountFile(accounts, records, recordLine)) {
        std::fprintf(stderr, "register-bench: cannot make the account file here\n");
        return 1;
    }

    // One process per registration, as a page that ran kadd would do it.
    std::vector<double> adds;
    for (int i = 0; i < 10; ++i) {
        const Clock::time_point started = Clock::now();
        const pid_t child = spawn({KADD_PATH, "add", "single" + QByteArray::number(i), "secret1",
                                   "--app-dir", QFile::encodeName(server)},
                                  server, -1);
        if (waitExit(child) != 0) {
            std::fprintf(stderr, "register-bench: kadd add failed\n");
            return 1;
        }
        adds.push_back(seconds(Clock::now() - started));
    }
    const double kaddRate = 1 / percentile(adds, 0.5);
    std::printf("Account file of %lld records (%.1f MB), in %s; %.0f s per load.\n"
                "kadd add, median of 10 processes: %.1f ms, %.1f registrations/s.\n\n",
                records, QFileInfo(accounts).size() / 1e6, qPrintable(QDir::currentPath()),
                duration, percentile(adds, 0.5) * 1e3, kaddRate);
    std::printf("%11s %9s %10s %10s %10s %9s %9s %9s %s\n", "connections", "created", "created/s",
                "median ms", "p99 ms", "per batch", "batches", "x kadd", "other answers");
    std::fflush(stdout);

    bool allKept = true;
    int round = 0;
    for (const int connections : counts) {
        const Service service = startService(server);
        if (service.port == 0) {
            std::fprintf(stderr, "register-bench: kelto-register did not start\n");
            return 1;
        }
        const QByteArray before = readFile(accounts);
        Load load;
        load.prefix = "load" + QByteArray::number(++round) + "n";
        runLoad(service.port, connections, duration, load);
        const QByteArray metrics = fetchMetrics(service.port);
        ::kill(service.pid, SIGTERM);
        const int exitCode = waitExit(service.pid);
        const QString lost = checkFile(before, readFile(accounts), load);
        const double rate = double(load.created.size()) / load.elapsed;
        const double batches = metric(metrics, "kelto_register_batch_accounts_count");
        QByteArray others;
        for (auto it = load.statuses.cbegin(); it != load.statuses.cend(); ++it) {
            if (it.key() != 201)
                others += (it.key() ? QByteArray::number(it.key()) : QByteArray("none")) + ": " +
                          QByteArray::number(it.value()) + ' ';
        }
        std::printf("%11d %9zu %10.0f %10.1f %10.1f %9.1f %9.0f %8.0fx %s\n", connections,
                    load.created.size(), rate, percentile(load.answerSeconds, 0.5) * 1e3,
                    percentile(load.answerSeconds, 0.99) * 1e3,
                    metric(metrics, "kelto_register_batch_accounts_sum") / std::max(1.0, batches),
                    metric(metrics, "kelto_register_batches_total"), rate / kaddRate,
                    others.isEmpty() ? "-" : others.constData());
        if (!lost.isEmpty() || exitCode != 0) {
            std::printf("  LOST: %s (service exit %d)\n", qPrintable(lost), exitCode);
            allKept = false;
        }
        std::fflush(stdout);
    }
    std::printf("\nNothing lost: %s\n", allKept ? "yes, every load" : "NO");
    return allKept ? 0 : 1;
}
