#include "register/RefusalSummary.h"

#include "core/AuditTrail.h"

#include <QStringList>

void RefusalSummary::count(const QString &reason)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    ++m_counts[reason];
}

void RefusalSummary::send()
{
    QMap<QString, int> counts;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        counts.swap(m_counts);
    }
    if (counts.isEmpty())
        return;
    QStringList parts;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        parts.append(QStringLiteral("%1 %2").arg(it.value()).arg(it.key()));
    auditNotice(m_accountPath,
                QStringLiteral("sign-ups refused: %1").arg(parts.join(QStringLiteral(", "))));
}
