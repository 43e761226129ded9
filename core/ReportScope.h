#pragma once

// A change that reached the account file must not end without its report. Within a scope, the
// ending signals (SIGINT, SIGTERM and SIGHUP; Ctrl+C, Ctrl+Break and a closed console on
// Windows) that arrive from just before an update puts its new file in place are held until the
// scope ends, so that the change's records reach the system log and its outcome is printed; a
// signal held meanwhile then acts as it would have. A kill that cannot be held still leaves the
// old file or the whole new one.
// Scopes nest in a thread, and the outermost ends the hold. The core's changes open one of their
// own, which ends once their records are written; a program that prints the outcome opens one
// around the change and the printing.
class ReportScope
{
public:
    ReportScope();
    ~ReportScope();
    ReportScope(const ReportScope &) = delete;
    ReportScope &operator=(const ReportScope &) = delete;
};
