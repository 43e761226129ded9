#include "register/AddressRateLimit.h"

#include <QDeadlineTimer>

#include <algorithm>

namespace {

constexpr qint64 hour = 3600;

qint64 steadySeconds()
{
    return QDeadlineTimer::current(Qt::PreciseTimer).deadline() / 1000;
}

} // namespace

AddressRateLimit::AddressRateLimit(int perHour, std::function<qint64()> now)
    : m_perHour(perHour), m_now(now ? std::move(now) : steadySeconds)
{}

int AddressRateLimit::take(const QString &address)
{
    if (m_perHour == 0)
        return 0;
    const std::lock_guard<std::mutex> lock(m_mutex);
    const qint64 now = m_now();
    // Addresses seen once and gone must not pile up: every so often the old ones are dropped.
    if (++m_takenSinceCleanup >= 4096)
        forgetTheOld(now);
    std::deque<qint64> &times = m_times[address];
    while (!times.empty() && times.front() <= now - hour)
        times.pop_front();
    if (times.size() >= std::size_t(m_perHour))
        return int(std::max<qint64>(1, times.front() + hour - now));
    times.push_back(now);
    return 0;
}

void AddressRateLimit::giveBack(const QString &address)
{
    if (m_perHour == 0)
        return;
    const std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_times.find(address);
    if (found != m_times.end() && !found->empty())
        found->pop_back();
}

void AddressRateLimit::forgetTheOld(qint64 now)
{
    m_takenSinceCleanup = 0;
    for (auto it = m_times.begin(); it != m_times.end();) {
        if (it->empty() || it->back() <= now - hour)
            it = m_times.erase(it);
        else
            ++it;
    }
}
