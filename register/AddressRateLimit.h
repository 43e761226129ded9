#pragma once

#include <QHash>
#include <QString>

#include <deque>
#include <functional>
#include <mutex>

// How many registrations each client address may make in any hour. Thread-safe.
class AddressRateLimit
{
public:
    // perHour 0: no limit. now gives seconds on a clock that never goes back.
    explicit AddressRateLimit(int perHour, std::function<qint64()> now = {});

    // Counts one registration of the address: 0 when it may go on, else the seconds until it
    // may try again (for Retry-After).
    int take(const QString &address);
    // A registration that never reached the account file (the service was busy) does not count.
    void giveBack(const QString &address);

private:
    void forgetTheOld(qint64 now);

    const int m_perHour;
    const std::function<qint64()> m_now;
    std::mutex m_mutex;
    QHash<QString, std::deque<qint64>> m_times; // per address, oldest first
    int m_takenSinceCleanup = 0;
};
