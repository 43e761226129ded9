#pragma once

#include "core/AuditTrail.h"

#include <QString>

// The system's side of the audit trail, one file per platform.

// Hands one record to the system log under the program's name. A system without a log service
// running loses the record without a word: the change it tells of is made all the same.
void writeSystemLog(AuditLevel level, const QString &program, const QString &record);

// Who runs the program, as the system knows them.
QString operatorName();
