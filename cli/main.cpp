#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/ExitStatus.h"
#include "cli/ProgramArguments.h"
#include "cli/StartedAlone.h"
#include "core/AuditTrail.h"
#include "core/FileSizeLimit.h"
#include "core/ReportScope.h"
#include "core/ServerLocation.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

int usageError(const QString &text, const QStringList &hints)
{
    printError(text);
    for (const QString &hint : hints)
        printError(hint);
    return ExitUsage;
}

int runCommand(const CommandLine &line)
{
    switch (line.action) {
    case CommandLine::Action::ShowText:
        printOut(line.text);
        return ExitCreated;
    case CommandLine::Action::UsageError:
        return usageError(line.text, line.hints);
    case CommandLine::Action::Run:
        break;
    }
    return runParsedCommand(line);
}

// A listing cut short by a full disk must not pass for a whole one, so a command that did all
// else but could not print it returns 74. A change it made to the account file stays made.
int withLostOutputReported(int status)
{
    const QString reason = lostOutputReason();
    if (reason.isEmpty())
        return status;
    printError(QStringLiteral("cannot write to standard output: %1").arg(reason));
    return status == ExitDone ? ExitOutputLost : status;
}

// By now every file is closed, every lock released and every line printed, so the libraries'
// global destructors have nothing left to do; skipping them saves 0.07 ms, a twentieth of an
// add on a small file. The sanitizer builds still return, so LeakSanitizer sees the end.
[[noreturn]] void endProgram(int status)
{
#if defined(__SANITIZE_ADDRESS__)
    std::exit(status);
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    std::exit(status);
#endif
#endif
    std::fflush(nullptr);
    std::_Exit(status);
}

} // namespace

int main(int argc, char *argv[])
{
    letWritesFailBeyondFileSizeLimit();
    // The name the system log files kadd's records under; no application object is made.
    QCoreApplication::setApplicationName(QStringLiteral("kadd"));
    setAuditWaitLimit(100); // a busy log service may take a moment; kadd ends with the change
    int undecodable = 0;
    QStringList arguments = programArguments(argc, argv, undecodable);
    // Started by a double-click: what it has to say is its help, and the console that shows it
    // must stay open until it is read.
    const bool keepConsoleOpen = arguments.size() == 1 && startedOnOwnConsole();
    if (keepConsoleOpen)
        arguments << QStringLiteral("--help");
    // A change that reached the account file is printed before a Ctrl+C or a stop may end kadd.
    std::optional<ReportScope> reporting(std::in_place);
    const int status =
        undecodable > 0
            ? usageError(QStringLiteral("argument %1 is not text in this system's encoding")
                             .arg(undecodable),
                         {programHelpHint()})
            : runCommand(parseCommandLine(arguments, programFolder,
                                          qEnvironmentVariable(qPrintable(serverFolderVariable))));
    const int reported = withLostOutputReported(status);
    if (const QString lost = finishAuditTrail(); !lost.isEmpty())
        printError(lost);
    std::fflush(nullptr);
    reporting.reset();
    if (keepConsoleOpen)
        waitForKeyBeforeClosing();
    endProgram(reported);
}
