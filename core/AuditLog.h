#pragma once

#include "core/AuditTrail.h"

#include <QList>
#include <QString>

// The system's side of the audit trail, one file per platform.

// Hands the records of one change to the system log under the program's name, waiting no longer
// than waitLimitMs in all for it to take them, and counts those it does not take. A system
// without a log service running loses them without a word: the change they tell of is made all
// the same, as it is on a system that keeps no log at all.
void writeSystemLog(const QString &program, const QList<AuditRecord> &records, int waitLimitMs);

// Records handed over but still on their way get a bounded time to reach the log; those that do
// not are counted.
void drainSystemLog();

// Records the system log did not take; the platform's side counts them as it finds them.
void countRecordsNotTaken(qsizetype count);

// Who runs the program, as the system knows them.
QString operatorName();
