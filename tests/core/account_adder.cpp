// Adds the accounts named on the command line, one update each, to the account file below the
// given application folder, and prints C (created), D (duplicate) or E (file error) for each:
// a second copy of the tool working on the same file at the same time.
// With --pause-at FILE first, it streams the copy and, once FILE holds part of it, prints P and
// waits for its standard input to close: an update to end from outside at that moment.
#include "core/AccountFile.h"
#include "tests/support/FaultInjection.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.size() >= 2 && args.first() == QLatin1String("--pause-at")) {
        const QString pauseAt = args.at(1);
        args = args.mid(2);
        FaultInjection::setStreamingCopyOnly(true);
        FaultInjection::setBeforeEachOperation([pauseAt, paused = false]() mutable {
            if (QFileInfo(pauseAt).size() == 0 || paused)
                return;
            paused = true;
            std::fputs("P\n", stdout);
            std::fflush(stdout);
            while (std::getc(stdin) != EOF) {
            }
        });
    }
    if (args.isEmpty())
        return 2;
    for (const QString &name : args.mid(1)) {
        const AddOutcome outcome =
            AddAccount(args.at(0), name, name + QStringLiteral(",pw,1,none,0")).outcome;
        std::fputs(outcome == AddOutcome::Created     ? "C\n"
                   : outcome == AddOutcome::Duplicate ? "D\n"
                                                      : "E\n",
                   stdout);
    }
    return 0;
}
