#include "cli/Report.h"

#include "cli/Console.h"
#include "cli/ExitStatus.h"

#include "core/CreateAccount.h"
#include "core/EntryValidation.h"

// The same words as the window's message boxes, title first.
int reportRefused(const ValidationResult &check)
{
    printError(check.title + QStringLiteral(": ") + check.text);
    return ExitRefused;
}

int reportUndecodablePassword()
{
    // The words the rules give a password they cannot store.
    printError(QStringLiteral("Invalid Character: Password contains a character that cannot be "
                              "stored"));
    return ExitRefused;
}

int reportFileError(const QString &errorText, bool fileChanged)
{
    printError(fileErrorTitle + QStringLiteral(": ") + errorText);
    return fileChanged ? ExitNotYetSafe : ExitFileError;
}
