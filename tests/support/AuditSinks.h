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

// Drops the records of the audit trail while it lives (they are still made): for runs of
// thousands of changes that must not flood the system log.
class DiscardingAuditSink : public AuditSink
{
public:
    DiscardingAuditSink() { AuditSink::install(this); }
    ~DiscardingAuditSink() override { AuditSink::install(nullptr); }
    DiscardingAuditSink(const DiscardingAuditSink &) = delete;
    DiscardingAuditSink &operator=(const DiscardingAuditSink &) = delete;

    void write(AuditLevel, const QString &) override {}
};
