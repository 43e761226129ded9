#pragma once

#include <QMap>
#include <QString>

#include <mutex>

// Refusals are not logged one by one (a bot could fill the log): they are counted by reason,
// and the counts go to the system log as one record a minute when there were any. Thread-safe.
class RefusalSummary
{
public:
    explicit RefusalSummary(const QString &accountPath) : m_accountPath(accountPath) {}

    void count(const QString &reason);
    // Sends the counts since the last time, if any.
    void send();

private:
    const QString m_accountPath;
    std::mutex m_mutex;
    QMap<QString, int> m_counts;
};
