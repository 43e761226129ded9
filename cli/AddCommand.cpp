#include "AddCommand.h"

#include "CommandLine.h"
#include "Console.h"
#include "ConsoleEntryView.h"
#include "ExitStatus.h"
#include "PasswordPrompt.h"

#include <CreateAccount.h>

int runAdd(const CommandLine &line)
{
    ConsoleEntryView view(line.applicationFolder);
    view.setText(EntryBox::Username, line.username);
    view.setText(EntryBox::Password,
                 line.password
                     ? *line.password
                     : readPassword(QStringLiteral("Password for %1: ").arg(line.username)));
    view.setText(EntryBox::Email, line.email);
    view.setMaleSelected(!line.female);
    view.setGmFlagTotal(line.gmFlags);

    switch (CreateAccount(view)) {
    case CreateOutcome::Created:
        printOut(QStringLiteral("Created %1").arg(view.keptValues().username));
        return ExitCreated;
    case CreateOutcome::Duplicate:
        return ExitDuplicate;
    case CreateOutcome::Refused:
        return ExitRefused;
    case CreateOutcome::FileError:
        break;
    }
    return ExitFileError;
}
