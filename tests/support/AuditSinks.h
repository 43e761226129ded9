#pragma once

#include "core/AuditTrail.h"

#include <QList>
#include <QString>

// Takes the records of the audit trail in place of the system log while it lives. Runs of
// thousands of changes that must not flood the system log keep none.
class RecordingAuditSink : public AuditSink
{
public:
    using Record = AuditRecord;

    explicit RecordingAuditSink(bool keep = true) : m_keep(keep) { AuditSink::install(this); }
    ~RecordingAuditSink() override { AuditSink::install(nullptr); }
    RecordingAuditSink(const RecordingAuditSink &) = delete;
    RecordingAuditSink &operator=(const RecordingAuditSink &) = delete;

    void write(const QList<AuditRecord> &change) override
    {
        if (m_keep)
            records.append(change);
    }

    QList<Record> records;

private:
    bool m_keep;
};
