#include "core/ReportScope.h"

#include "core/internal/fs/SignalCleanup.h"

ReportScope::ReportScope()
{
    SignalCleanup::enterReportScope();
}

ReportScope::~ReportScope()
{
    SignalCleanup::leaveReportScope();
}
