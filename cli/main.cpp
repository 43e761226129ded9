#include "AddCommand.h"
#include "CommandLine.h"
#include "Console.h"
#include "EditCommands.h"
#include "ExitStatus.h"
#include "FileSizeLimit.h"
#include "FlagsCommand.h"
#include "ImportCommand.h"
#include "ListCommand.h"

#include <QCoreApplication>
#include <ServerLocation.h>

int main(int argc, char *argv[])
{
    letWritesFailBeyondFileSizeLimit();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kadd"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELTO_VERSION));

    const CommandLine line =
        parseCommandLine(QCoreApplication::arguments(), QCoreApplication::applicationDirPath(),
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
