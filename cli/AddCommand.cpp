#include "cli/AddCommand.h"

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/ExitStatus.h"
#include "cli/PasswordPrompt.h"
#include "cli/Report.h"

#include "core/AccountFile.h"
#include "core/EntryValidation.h"
#include "core/RecordEncoding.h"

namespace {

// The scan that refused the name also tells its line; only a file that another program changed
// during the add can leave it untold.
int reportDuplicate(const QString &username, int duplicateLine, const QString &duplicateName)
{
    const bool found = duplicateLine > 0;
    const QString name = found ? duplicateName : username;
    if (found)
        printError(QStringLiteral("Username exist: %1 is already on line %2 of the account file")
                       .arg(name)
                       .arg(duplicateLine));
    else
        printError(QStringLiteral("Username exist: %1 is already in the account file").arg(name));
    printError(changeExistingHint(name));
    return ExitDuplicate;
}

// The scan an add makes for the name, without the add.
int dryRunAdd(const CommandLine &line, const QString &record, const QString &email)
{
    const BatchResult result =
        AddAccounts(line.applicationFolder, {{line.username, record}}, BatchMode::CheckOnly);
    switch (result.outcome) {
    case AddOutcome::Created:
        printOut(QStringLiteral("Would create %1: %2, e-mail %3, %4")
                     .arg(printable(line.username), gmFlagsText(line.gmFlags), printable(email),
                          line.female ? QStringLiteral("female") : QStringLiteral("male")));
        printError(QStringLiteral("Dry run: the account file was not changed."));
        return ExitCreated;
    case AddOutcome::Duplicate:
        return reportDuplicate(line.username, result.duplicateLine, result.duplicateName);
    case AddOutcome::FileError:
        break;
    }
    return reportFileError(result.errorText);
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
    if (line.dryRun)
        return dryRunAdd(line, record, email);
    const AddAccountResult result = AddAccount(line.applicationFolder, line.username, record);
    switch (result.outcome) {
    case AddOutcome::Created:
        printOut(QStringLiteral("Created %1").arg(printable(line.username)));
        printGeneratedPassword(line, password, ExitCreated);
        return ExitCreated;
    case AddOutcome::Duplicate:
        RemoveTempFile();
        return reportDuplicate(line.username, result.duplicateLine, result.duplicateName);
    case AddOutcome::FileError:
        break;
    }
    const int status = reportFileError(result.errorText, result.fileChanged);
    printGeneratedPassword(line, password, status);
    return status;
}
