#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <atomic>
#include <mutex>
#include <vector>

// The service's counters, as Prometheus reads them from GET /metrics. Thread-safe.
class ServiceMetrics
{
public:
    ServiceMetrics();

    void accountCreated() { ++m_created; }
    void refused(const QString &reason);
    void rateLimited() { ++m_rateLimited; }
    void fileError() { ++m_fileErrors; }
    void batchWritten(int accounts, bool written);
    void answered(double seconds);

    QByteArray text() const;

private:
    struct Histogram
    {
        std::vector<double> bounds;
        std::vector<quint64> counts; // per bound, not cumulative; one more for +Inf
        double sum = 0;
        quint64 count = 0;
        void observe(double value);
        void print(QByteArray &out, const char *name, const char *help) const;
    };

    std::atomic<quint64> m_created{0};
    std::atomic<quint64> m_rateLimited{0};
    std::atomic<quint64> m_fileErrors{0};
    std::atomic<quint64> m_batches{0};
    mutable std::mutex m_mutex;
    QMap<QString, quint64> m_refusals;
    Histogram m_batchSizes;
    Histogram m_answerTimes;
};
