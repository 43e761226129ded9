#pragma once

#include "core/AccountEdit.h"
#include "core/AccountFile.h"

#include <QList>
#include <QString>

// Every change that reaches the account file leaves one record per account in the system's log
// (syslog's auth facility on Linux, the Application event log on Windows), written once the
// change is on disk, so that an operator can later tell who changed which account and when.
// Records never hold a password. Refusals, duplicates, dry runs and reading commands leave none.
//
// The log must never hold up a change that landed: on Linux the records of one change go out on
// one socket of the change's own, each dropped when the log service has no room for it (kadd
// waits for room a short while first); on Windows a thread of its own reports them. What was
// dropped is counted, for the program to say so once at its end.

enum class AuditLevel
{
    Change,  // an account added, changed or removed
    Failure, // a file error stopped a change (or left it not yet safe on disk)
};

// One whole record: what happened, the account file, the program and the operator.
struct AuditRecord
{
    AuditLevel level;
    QString text;
};

// Where the records go. The programs keep the system log; tests install their own.
class AuditSink
{
public:
    virtual ~AuditSink() = default;
    // The records of one change, in order.
    virtual void write(const QList<AuditRecord> &records) = 0;

    // The sink in force; null restores the system log.
    static void install(AuditSink *sink);
    static AuditSink &current();
};

// Called by the core's operations once an update has ended, whatever its outcome. origin names
// what an import read its accounts from; empty for any other add.
void auditAddition(const QString &accountPath, const QList<NewAccount> &accounts,
                   const QString &origin, const BatchResult &result);
void auditEdit(const QString &accountPath, const AccountEdit &edit, const EditResult &result);
// The removal of the lines numbered, as RemoveLines ended; their text is not logged, as it may
// hold a password.
void auditLineRemoval(const QString &accountPath, const QList<int> &numbers,
                      const EditResult &result);
// One record about the account file that is not a change of it, such as a summary of refusals.
void auditNotice(const QString &accountPath, const QString &what);

// A change of the whole account file (a restore of its backup): what it did, and when it failed
// the reason; fileChanged when it failed only after the change was made.
void auditFileChange(const QString &accountPath, const QString &what, const QString &failure,
                     bool fileChanged);

// How long a change may wait in all for a busy log service to take its records, on Linux. A
// window must never wait; kadd, which ends with the change, can afford a little.
void setAuditWaitLimit(int milliseconds);

// At the program's end: lets the records still on their way reach the log, for a bounded time,
// and returns what to tell the operator of those it did not take; empty when it took them all.
QString finishAuditTrail();
