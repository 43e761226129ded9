#include "cli/AddCommand.h"
#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/EditCommands.h"
#include "cli/ExitStatus.h"
#include "cli/FlagsCommand.h"
#include "cli/ImportCommand.h"
#include "cli/ListCommand.h"
#include "cli/ProgramArguments.h"
#include "core/FileSizeLimit.h"
#include "core/ServerLocation.h"

int main(int argc, char *argv[])
{
    letWritesFailBeyondFileSizeLimit();
    const CommandLine line =
        parseCommandLine(programArguments(argc, argv), programFolder,
                         qEnvironmentVariable(qPrintable(serverFolderVariable)));
    switch (line.action) {
    case CommandLine::Action::ShowText:
        printOut(line.text);
        return ExitCreated;
    case CommandLine::Action::UsageError:
        printError(QStringLiteral("kadd: ") + line.text);
        printError(QStringLiteral("Try 'kadd --help' for more information."));
        return ExitUsage;
    case CommandLine::Action::Run:
        break;
    }
    switch (line.command) {
    case Command::Add:
        return runAdd(line);
    case Command::Import:
        return runImport(line);
    case Command::Flags:
        return runFlags(line);
    case Command::List:
        return runList(line);
    case Command::Check:
        return runCheck(line);
    case Command::Passwd:
        return runPasswd(line);
    case Command::Set:
        return runSet(line);
    case Command::Remove:
        return runRemove(line);
    }
    return ExitUsage;
}
