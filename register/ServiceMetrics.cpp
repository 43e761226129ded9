#include "register/ServiceMetrics.h"

namespace {

void counter(QByteArray &out, const char *name, const char *help, quint64 value)
{
    out += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + " counter\n" + name +
           ' ' + QByteArray::number(value) + '\n';
}

QByteArray number(double value)
{
    return QByteArray::number(value, 'g', 10);
}

} // namespace

ServiceMetrics::ServiceMetrics()
{
    m_batchSizes.bounds = {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 5000};
    m_answerTimes.bounds = {0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10};
    m_batchSizes.counts.assign(m_batchSizes.bounds.size() + 1, 0);
    m_answerTimes.counts.assign(m_answerTimes.bounds.size() + 1, 0);
}

void ServiceMetrics::Histogram::observe(double value)
{
    std::size_t slot = 0;
    while (slot < bounds.size() && value > bounds[slot])
        ++slot;
    ++counts[slot];
    sum += value;
    ++count;
}

void ServiceMetrics::Histogram::print(QByteArray &out, const char *name, const char *help) const
{
    out += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + " histogram\n";
    quint64 cumulative = 0;
    for (std::size_t i = 0; i <= bounds.size(); ++i) {
        cumulative += counts[i];
        const QByteArray bound = i < bounds.size() ? number(bounds[i]) : QByteArray("+Inf");
        out += QByteArray(name) + "_bucket{le=\"" + bound + "\"} " +
               QByteArray::number(cumulative) + '\n';
    }
    out += QByteArray(name) + "_sum " + number(sum) + '\n';
    out += QByteArray(name) + "_count " + QByteArray::number(count) + '\n';
}

void ServiceMetrics::refused(const QString &reason)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    ++m_refusals[reason];
}

void ServiceMetrics::batchWritten(int accounts, bool written)
{
    if (written)
        ++m_batches;
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_batchSizes.observe(accounts);
}

void ServiceMetrics::answered(double seconds)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_answerTimes.observe(seconds);
}

QByteArray ServiceMetrics::text() const
{
    QByteArray out;
    counter(out, "kelto_register_accounts_created_total", "Accounts added to the account file.",
            m_created);
    counter(out, "kelto_register_rate_limited_total",
            "Registrations refused by the per-address hourly limit.", m_rateLimited);
    counter(out, "kelto_register_file_errors_total",
            "Registrations answered 503 because the account file could not be updated.",
            m_fileErrors);
    counter(out, "kelto_register_batches_total", "Updates of the account file written.", m_batches);
    const std::lock_guard<std::mutex> lock(m_mutex);
    out += "# HELP kelto_register_refusals_total Registrations refused, by reason.\n"
           "# TYPE kelto_register_refusals_total counter\n";
    for (auto it = m_refusals.cbegin(); it != m_refusals.cend(); ++it)
        out += "kelto_register_refusals_total{reason=\"" + it.key().toUtf8() + "\"} " +
               QByteArray::number(it.value()) + '\n';
    m_batchSizes.print(out, "kelto_register_batch_accounts",
                       "Registrations per update of the account file.");
    m_answerTimes.print(out, "kelto_register_answer_seconds", "Time from a request to its answer.");
    return out;
}
