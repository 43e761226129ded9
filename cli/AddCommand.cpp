#include "cli/AddCommand.h"

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/ExitStatus.h"
#include "cli/PasswordPrompt.h"
#include "cli/Report.h"

#include "core/AccountFile.h"
#include "core/EntryValidation.h"
#include "core/RecordLine.h"

namespace {

// The scan that refused the name also tells its line; only a file that another program changed
// during the add can leave it untold.
int reportDuplicate(const CommandLine &line, const AddAccountResult &result)
{
    const bool found = result.duplicateLine > 0;
    const QString name = found ? result.duplicateName : line.username;
    if (found)
        printError(QStringLiteral("Username exist: %1 is already on line %2 of the account file")
                       .arg(name)
                       .arg(result.duplicateLine));
    else
        printError(QStringLiteral("Username exist: %1 is already in the account file").arg(name));
    printError(changeExistingHint(name));
    return ExitDuplicate;
}

} // namespace

int runAdd(const CommandLine &line)
{
    const NewPassword typed =
        newPasswordOf(line, QStringLiteral("Password for %1: ").arg(line.username));
    if (typed.outcome != NewPassword::Outcome::Read)
        return reportPasswordNotRead(typed.outcome);
    const QString &password = typed.text;
    QString email = line.email;
    if (const ValidationResult check = validateAccountTexts(line.username, password, email);
        !check.passed)
        return reportRefused(check);

    const QString record =
        BuildRecordLine(line.username, password, line.female ? 0 : 1, email, line.gmFlags);
    const AddAccountResult result = AddAccount(line.applicationFolder, line.username, record);
    switch (result.outcome) {
    case AddOutcome::Created:
        printOut(QStringLiteral("Created %1").arg(printable(line.username)));
        return ExitCreated;
    case AddOutcome::Duplicate:
        RemoveTempFile();
        return reportDuplicate(line, result);
    case AddOutcome::FileError:
        break;
    }
    return reportFileError(result.errorText, result.fileChanged);
}
