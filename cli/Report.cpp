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

int reportFileError(const QString &errorText)
{
    printError(fileErrorTitle + QStringLiteral(": ") + printable(errorText));
    return ExitFileError;
}
