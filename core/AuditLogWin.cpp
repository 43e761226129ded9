#include "core/AuditLog.h"

#include <windows.h>

#include <lmcons.h>

namespace {

constexpr wchar_t eventSource[] = L"Kelto Account Creator";

// Event IDs of the records: a change, and a file error that stopped one.
constexpr DWORD changeEvent = 1;
constexpr DWORD failureEvent = 2;

} // namespace

void writeSystemLog(const QString &program, const QList<AuditRecord> &records, int waitLimitMs)
{
    // One source for both programs: the record itself names the program.
    Q_UNUSED(program);
    Q_UNUSED(waitLimitMs);
    const HANDLE source = RegisterEventSourceW(nullptr, eventSource);
    qsizetype dropped = 0;
    for (const AuditRecord &record : records) {
        const std::wstring text = record.text.toStdWString();
        LPCWSTR strings[] = {text.c_str()};
        const bool failure = record.level == AuditLevel::Failure;
        if (!source ||
            !ReportEventW(source, failure ? EVENTLOG_ERROR_TYPE : EVENTLOG_INFORMATION_TYPE, 0,
                          failure ? failureEvent : changeEvent, nullptr, 1, 0, strings, nullptr))
            ++dropped;
    }
    if (source)
        DeregisterEventSource(source);
    if (dropped > 0)
        countRecordsNotTaken(dropped);
}

void drainSystemLog()
{
    // Every record was reported, or refused, before its change returned.
}

QString operatorName()
{
    wchar_t name[UNLEN + 1];
    DWORD size = UNLEN + 1;
    if (!GetUserNameW(name, &size) || size == 0)
        return QStringLiteral("unknown");
    return QString::fromWCharArray(name, int(size) - 1);
}
