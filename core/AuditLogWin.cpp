#include "core/AuditLog.h"

#include <windows.h>

#include <lmcons.h>

#include <deque>
#include <string>

namespace {

constexpr wchar_t eventSource[] = L"Kelto Account Creator";

// Event IDs of the records: a change, and a file error that stopped one.
constexpr DWORD changeEvent = 1;
constexpr DWORD failureEvent = 2;

// Enough for a large import's records; beyond it an event log that takes none would only make
// the program hold records it will never deliver.
constexpr size_t queueLimit = 100000;
// Ample for an import's records to reach a working event log at the program's end; a hung one
// must not keep the program from ending.
constexpr ULONGLONG drainLimitMs = 5000;

struct Pending
{
    bool failure;
    std::wstring text;
};

// The event log is written by a thread of its own, so that a slow or hung event log service
// never holds up the window, nor a change that has landed.
struct Writer
{
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
    std::deque<Pending> queue;
    bool reporting = false; // the thread holds a record it has not reported yet
    HANDLE thread = nullptr;
};

// Never destroyed: the thread may still be reporting while the program's statics are torn down.
Writer &writer()
{
    static Writer *const instance = new Writer;
    return *instance;
}

DWORD WINAPI reportRecords(void *)
{
    Writer &w = writer();
    // Registered once for the process: the event log needs no more.
    HANDLE source = nullptr;
    AcquireSRWLockExclusive(&w.lock);
    for (;;) {
        while (w.queue.empty())
            SleepConditionVariableSRW(&w.changed, &w.lock, INFINITE, 0);
        const Pending record = std::move(w.queue.front());
        w.queue.pop_front();
        w.reporting = true;
        ReleaseSRWLockExclusive(&w.lock);

        if (!source)
            source = RegisterEventSourceW(nullptr, eventSource);
        LPCWSTR strings[] = {record.text.c_str()};
        if (!source ||
            !ReportEventW(source, record.failure ? EVENTLOG_ERROR_TYPE : EVENTLOG_INFORMATION_TYPE,
                          0, record.failure ? failureEvent : changeEvent, nullptr, 1, 0, strings,
                          nullptr))
            countRecordsNotTaken(1);

        AcquireSRWLockExclusive(&w.lock);
        w.reporting = false;
        WakeAllConditionVariable(&w.changed);
    }
}

} // namespace

void writeSystemLog(const QString &program, const QList<AuditRecord> &records, int waitLimitMs)
{
    // One source for both programs: the record itself names the program. The thread never keeps
    // the caller waiting, so there is nothing to bound.
    Q_UNUSED(program);
    Q_UNUSED(waitLimitMs);
    std::deque<Pending> change;
    for (const AuditRecord &record : records)
        change.push_back({record.level == AuditLevel::Failure, record.text.toStdWString()});
    Writer &w = writer();
    qsizetype dropped = 0;
    AcquireSRWLockExclusive(&w.lock);
    if (!w.thread)
        w.thread = CreateThread(nullptr, 0, reportRecords, nullptr, 0, nullptr);
    for (Pending &record : change) {
        if (w.thread && w.queue.size() < queueLimit)
            w.queue.push_back(std::move(record));
        else
            ++dropped;
    }
    WakeAllConditionVariable(&w.changed);
    ReleaseSRWLockExclusive(&w.lock);
    if (dropped > 0)
        countRecordsNotTaken(dropped);
}

void drainSystemLog()
{
    Writer &w = writer();
    const ULONGLONG deadline = GetTickCount64() + drainLimitMs;
    AcquireSRWLockExclusive(&w.lock);
    for (ULONGLONG now = GetTickCount64(); (!w.queue.empty() || w.reporting) && now < deadline;
         now = GetTickCount64())
        SleepConditionVariableSRW(&w.changed, &w.lock, DWORD(deadline - now), 0);
    // What is left will not be reported before the program ends.
    const qsizetype left = qsizetype(w.queue.size()) + (w.reporting ? 1 : 0);
    w.queue.clear();
    ReleaseSRWLockExclusive(&w.lock);
    if (left > 0)
        countRecordsNotTaken(left);
}

QString operatorName()
{
    wchar_t name[UNLEN + 1];
    DWORD size = UNLEN + 1;
    if (!GetUserNameW(name, &size) || size == 0)
        return QStringLiteral("unknown");
    return QString::fromWCharArray(name, int(size) - 1);
}
