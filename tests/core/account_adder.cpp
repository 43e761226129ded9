// Adds the accounts named on the command line, one update each, to the account file below the
// given application folder, and prints C (created), D (duplicate) or E (file error) for each:
// a second copy of the tool working on the same file at the same time.
#include "core/AccountFile.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2)
        return 2;
    for (const QString &name : args.mid(2)) {
        const AddOutcome outcome =
            AddAccount(args.at(1), name, name + QStringLiteral(",pw,1,none,0")).outcome;
        std::fputs(outcome == AddOutcome::Created     ? "C\n"
                   : outcome == AddOutcome::Duplicate ? "D\n"
                                                      : "E\n",
                   stdout);
    }
    return 0;
}
