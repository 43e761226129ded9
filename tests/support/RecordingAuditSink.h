#pragma once

#include "core/AuditTrail.h"

#include <QList>
#include <QString>

// Takes the records of the audit trail in place of the system log while it lives.
class RecordingAuditSink : public AuditSink
{
public:
    struct Record
    {
        AuditLevel level;
        QString text;
    };

    RecordingAuditSink() { AuditSink::install(this); }
    ~RecordingAuditSink() override { AuditSink::install(nullptr); }
    RecordingAuditSink(const RecordingAuditSink &) = delete;
    RecordingAuditSink &operator=(const RecordingAuditSink &) = delete;

    void write(AuditLevel level, const QString &record) override
    {
        records.append({level, record});
    }

    QList<Record> records;
};
