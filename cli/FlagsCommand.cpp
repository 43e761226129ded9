#include "cli/FlagsCommand.h"

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/ExitStatus.h"

#include "core/GmFlags.h"

int runFlags(const CommandLine &line)
{
    if (line.total) {
        for (const QString &name : gmFlagNames(*line.total))
            printOut(name);
        return ExitCreated;
    }
    printOut(QStringLiteral("VALUE  NAME              CAPTION"));
    for (const GmFlag &flag : gmFlags)
        printOut(QStringLiteral("%1  %2  %3")
                     .arg(flag.value, 5)
                     .arg(QLatin1String(flag.name), -16)
                     .arg(QLatin1String(flag.caption)));
    return ExitCreated;
}
