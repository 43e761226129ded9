#include "core/AccountPattern.h"

#include <algorithm>

AccountPattern::AccountPattern(const QString &text)
{
    const QString key = caseInsensitiveKey(text);
    if (key.contains(u'*') || key.contains(u'?')) {
        m_anchoredStart = !key.startsWith(u'*');
        m_anchoredEnd = !key.endsWith(u'*');
    }
    for (const QStringView run : QStringView(key).split(u'*', Qt::SkipEmptyParts))
        m_runs.append(run.toUtf8());
    m_ascii = std::all_of(m_runs.cbegin(), m_runs.cend(), [](const QByteArray &run) {
        return std::none_of(run.cbegin(), run.cend(), [](char c) { return c & 0x80; });
    });
}

bool AccountPattern::matches(const QString &field) const
{
    return matchesEverything() || matchesKey(caseInsensitiveKey(field).toUtf8());
}
