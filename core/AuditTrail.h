#pragma once

#include "core/AccountEdit.h"
#include "core/AccountFile.h"

#include <QList>
#include <QString>

// Every change that reaches the account file leaves one record per account in the system's log
// (syslog's auth facility on Linux, the Application event log on Windows), written once the
// change is on disk, so that an operator can later tell who changed which account and when.
// Records never hold a password. Refusals, duplicates, dry runs and reading commands leave none.

enum class AuditLevel
{
    Change,  // an account added, changed or removed
    Failure, // a file error stopped a change (or left it not yet safe on disk)
};

// Where the records go. The programs keep the system log; tests install their own.
class AuditSink
{
public:
    virtual ~AuditSink() = default;
    // One whole record: what happened, the account file, the program and the operator.
    virtual void write(AuditLevel level, const QString &record) = 0;

    // The sink in force; null restores the system log.
    static void install(AuditSink *sink);
    static AuditSink &current();
};

// Called by the core's operations once an update has ended, whatever its outcome. origin names
// what an import read its accounts from; empty for any other add.
void auditAddition(const QString &accountPath, const QList<NewAccount> &accounts,
                   const QString &origin, const BatchResult &result);
void auditEdit(const QString &accountPath, const AccountEdit &edit, const EditResult &result);
