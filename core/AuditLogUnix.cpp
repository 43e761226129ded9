#include "core/AuditLog.h"

#include <QByteArray>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>

#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <syslog.h>
#include <unistd.h>

#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// What syslog(3) puts before a record: <priority>Mmm dd hh:mm:ss ident[pid]: , the month in
// English whatever the locale, as every log service expects it.
QByteArray header(int priority, const QByteArray &ident)
{
    static const char months[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!localtime_r(&now, &local))
        local = {};
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "<%d>%s %2d %02d:%02d:%02d ", priority,
                  months[local.tm_mon % 12], local.tm_mday, local.tm_hour, local.tm_min,
                  local.tm_sec);
    return stamp + ident + '[' + QByteArray::number(qint64(getpid())) + "]: ";
}

// The log service's datagram socket, connected for one change. syslog(3) would block for good
// on a service that stopped reading; this one never waits past the change's deadline.
class LogSocket
{
public:
    LogSocket()
    {
        m_fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (m_fd < 0)
            return;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        static const char path[] = "/dev/log";
        static_assert(sizeof path <= sizeof address.sun_path);
        std::copy(path, path + sizeof path, address.sun_path);
        if (::connect(m_fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0)
            return;
        // No socket, or no one behind it: no log service runs, as in many containers. That is
        // no fault of the log to report; anything else is.
        m_absent = errno == ENOENT || errno == ECONNREFUSED;
        ::close(std::exchange(m_fd, -1));
    }
    ~LogSocket()
    {
        // Each record was sent or counted as it went: closing has nothing left to lose.
        if (m_fd >= 0)
            ::close(m_fd);
    }
    LogSocket(const LogSocket &) = delete;
    LogSocket &operator=(const LogSocket &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    bool serviceAbsent() const { return m_absent; }

    bool send(const QByteArray &datagram, Clock::time_point deadline)
    {
        for (;;) {
            const ssize_t sent = ::send(m_fd, datagram.constData(), size_t(datagram.size()),
                                        MSG_DONTWAIT | MSG_NOSIGNAL);
            if (sent == datagram.size())
                return true;
            if (sent >= 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK))
                return false;
            if (errno == EINTR)
                continue;
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return false;
            pollfd room{m_fd, POLLOUT, 0};
            if (poll(&room, 1, int(left)) < 0 && errno != EINTR)
                return false;
        }
    }

private:
    int m_fd = -1;
    bool m_absent = false;
};

} // namespace

void writeSystemLog(const QString &program, const QList<AuditRecord> &records, int waitLimitMs)
{
    if (records.isEmpty())
        return;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitLimitMs);
    LogSocket log;
    if (!log.isOpen()) {
        if (!log.serviceAbsent())
            countRecordsNotTaken(records.size());
        return;
    }
    const QByteArray ident = program.toUtf8();
    const QByteArray change = header(LOG_AUTH | LOG_INFO, ident);
    const QByteArray failure = header(LOG_AUTH | LOG_ERR, ident);
    qsizetype dropped = 0;
    QByteArray datagram;
    for (const AuditRecord &record : records) {
        datagram = record.level == AuditLevel::Failure ? failure : change;
        datagram += record.text.toUtf8();
        if (!log.send(datagram, deadline))
            ++dropped;
    }
    if (dropped > 0)
        countRecordsNotTaken(dropped);
}

void drainSystemLog()
{
    // Every record went out, or was given up, before its change returned.
}

QString operatorName()
{
    const uid_t uid = getuid();
    QString name;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd *found = nullptr;
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        name = QString::fromLocal8Bit(found->pw_name);
    QString text = name.isEmpty() ? QStringLiteral("uid %1").arg(uid)
                                  : QStringLiteral("%1 (uid %2)").arg(name).arg(uid);
    // Who logged in, when that is someone else: the operator behind sudo or su.
    if (const char *login = getlogin(); login && *login && QString::fromLocal8Bit(login) != name)
        text += QStringLiteral(", login %1").arg(QString::fromLocal8Bit(login));
    return text;
}
