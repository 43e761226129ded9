// Adds the accounts named on the command line, one update each, to the account file below the
// given application folder, and prints C (created), D (duplicate) or E (file error) for each:
// a second copy of the tool working on the same file at the same time.
// With --pause-at FILE first, it streams the copy and, once FILE holds part of it, prints P and
// waits for its standard input to close: an update to end from outside at that moment. With
// --pause-after-rename it does the same once the new file is in place, and prints each outcome
// as kadd does, before a signal held meanwhile may end it.
#include "core/AccountFile.h"
#include "core/ReportScope.h"
#include "tests/support/FaultInjection.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    auto pauseOnce = [paused = false](bool now) mutable {
        if (!now || paused)
            return;
        paused = true;
        std::fputs("P\n", stdout);
        std::fflush(stdout);
        while (std::getc(stdin) != EOF) {
        }
    };
    if (args.size() >= 2 && args.first() == QLatin1String("--pause-at")) {
        const QString pauseAt = args.at(1);
        args = args.mid(2);
        FaultInjection::setStreamingCopyOnly(true);
        FaultInjection::setBeforeEachOperation(
            [=]() mutable { pauseOnce(QFileInfo(pauseAt).size() > 0); });
    } else if (!args.isEmpty() && args.first() == QLatin1String("--pause-after-rename")) {
        args = args.mid(1);
        FaultInjection::recordSteps();
        FaultInjection::setBeforeEachOperation([=]() mutable {
            const QList<FaultInjection::DoneStep> steps = FaultInjection::stepsDone();
            pauseOnce(std::any_of(steps.cbegin(), steps.cend(), [](const auto &done) {
                return done.step == FileOperationHooks::Step::Renamed &&
                       done.path.endsWith(QLatin1String("kAdd.txt.new"));
            }));
        });
    }
    if (args.isEmpty())
        return 2;
    for (const QString &name : args.mid(1)) {
        const ReportScope reporting;
        const AddOutcome outcome =
            AddAccount(args.at(0), name, name + QStringLiteral(",pw,1,none,0")).outcome;
        std::fputs(outcome == AddOutcome::Created     ? "C\n"
                   : outcome == AddOutcome::Duplicate ? "D\n"
                                                      : "E\n",
                   stdout);
        std::fflush(stdout);
    }
    return 0;
}
