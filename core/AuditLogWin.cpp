#include "core/AuditLog.h"

#include <windows.h>

#include <lmcons.h>

namespace {

constexpr wchar_t eventSource[] = L"Kelto Account Creator";

// Event IDs of the records: a change, and a file error that stopped one.
constexpr DWORD changeEvent = 1;
constexpr DWORD failureEvent = 2;

} // namespace

void writeSystemLog(AuditLevel level, const QString &program, const QString &record)
{
    // One source for both programs: the record itself names the program.
    Q_UNUSED(program);
    const HANDLE source = RegisterEventSourceW(nullptr, eventSource);
    if (!source)
        return;
    const std::wstring text = record.toStdWString();
    LPCWSTR strings[] = {text.c_str()};
    const bool failure = level == AuditLevel::Failure;
    ReportEventW(source, failure ? EVENTLOG_ERROR_TYPE : EVENTLOG_INFORMATION_TYPE, 0,
                 failure ? failureEvent : changeEvent, nullptr, 1, 0, strings, nullptr);
    DeregisterEventSource(source);
}

QString operatorName()
{
    wchar_t name[UNLEN + 1];
    DWORD size = UNLEN + 1;
    if (!GetUserNameW(name, &size) || size == 0)
        return QStringLiteral("unknown");
    return QString::fromWCharArray(name, int(size) - 1);
}
