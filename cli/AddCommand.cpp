#include "cli/AddCommand.h"

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/ExitStatus.h"
#include "cli/PasswordPrompt.h"
#include "cli/Report.h"

#include "core/AccountFile.h"
#include "core/EntryValidation.h"
#include "core/RecordLine.h"

int runAdd(const CommandLine &line)
{
    const std::optional<QString> typed =
        passwordOf(line, QStringLiteral("Password for %1: ").arg(line.username));
    if (!typed)
        return reportUndecodablePassword();
    const QString &password = *typed;
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
        printError(QStringLiteral("Username exist"));
        RemoveTempFile();
        return ExitDuplicate;
    case AddOutcome::FileError:
        break;
    }
    return reportFileError(result.errorText, result.fileChanged);
}
