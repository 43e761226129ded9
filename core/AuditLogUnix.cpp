#include "core/AuditLog.h"

#include <QByteArray>

#include <pwd.h>
#include <syslog.h>
#include <unistd.h>

#include <vector>

void writeSystemLog(AuditLevel level, const QString &program, const QString &record)
{
    // syslog keeps the pointer it is given as its ident for good.
    static const QByteArray ident = program.toUtf8();
    static const bool opened = [] {
        openlog(ident.constData(), LOG_PID, LOG_AUTH);
        return true;
    }();
    Q_UNUSED(opened);
    // No LOG_CONS: without a log service the record is dropped, never shown on the console.
    syslog(level == AuditLevel::Failure ? LOG_ERR : LOG_INFO, "%s", record.toUtf8().constData());
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
