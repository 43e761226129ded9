#include "cli/EditCommands.h"

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/ExitStatus.h"
#include "cli/PasswordPrompt.h"
#include "cli/Report.h"

#include "core/AccountEdit.h"
#include "core/EntryValidation.h"

#include <QStringList>

namespace {

// A mistyped name is the common cause: the hint lists the names that start alike.
int noSuchAccount(const QString &username)
{
    printError(QStringLiteral("No such account: %1").arg(username));
    printError(
        QStringLiteral("To look it up, run kadd list %1.").arg(shellWord(username.left(3) + u'*')));
    return ExitNoSuchAccount;
}

struct Report
{
    QString done;  // "Removed": the account's name and the details follow
    QString would; // the same for a dry run: "Would remove"
    QStringList changes;
    // A change relative to the flags the line holds is known only once it is made.
    bool gmFlagsFirst = false; // the changes start with the GM flags the line ends with
};

int runEdit(const CommandLine &line, AccountEdit edit, const Report &report)
{
    edit.username = line.username;
    edit.dryRun = line.dryRun;
    edit.backup = line.backup;
    const EditResult result = EditAccount(line.applicationFolder, edit);
    switch (result.outcome) {
    case EditOutcome::NoSuchAccount:
        return noSuchAccount(line.username);
    case EditOutcome::FileError:
    case EditOutcome::LineChanged:
        return reportFileError(result.errorText, result.fileChanged);
    case EditOutcome::Unchanged:
        printOut(QStringLiteral("%1: nothing to change").arg(printable(result.before.username)));
        return ExitDone;
    case EditOutcome::Done:
        break;
    }
    const QString name = printable(result.before.username);
    QStringList changes = report.changes;
    if (report.gmFlagsFirst)
        changes.prepend(gmFlagsText(result.after.gmFlags));
    const QString details =
        changes.isEmpty() ? QString() : QStringLiteral(": ") + changes.join(QStringLiteral(", "));
    if (line.dryRun) {
        printOut(QStringLiteral("%1 %2 (line %3)%4")
                     .arg(report.would, name)
                     .arg(result.lineNumber)
                     .arg(details));
        printError(QStringLiteral("Dry run: the account file was not changed."));
    } else {
        printOut(QStringLiteral("%1 %2%3").arg(report.done, name, details));
    }
    return ExitDone;
}

} // namespace

int runCheck(const CommandLine &line)
{
    const FindResult result = FindAccount(line.applicationFolder, line.username);
    switch (result.outcome) {
    case EditOutcome::Done:
        if (line.verbose)
            printOut(QStringLiteral("%1 is on line %2")
                         .arg(printable(result.usernameInFile))
                         .arg(result.lineNumber));
        return ExitDone;
    case EditOutcome::NoSuchAccount:
        if (line.verbose)
            return noSuchAccount(line.username);
        return ExitNoSuchAccount;
    case EditOutcome::FileError:
    case EditOutcome::Unchanged:
    case EditOutcome::LineChanged:
        break;
    }
    return reportFileError(result.errorText);
}

int runPasswd(const CommandLine &line)
{
    const NewPassword password =
        newPasswordOf(line, QStringLiteral("New password for %1: ").arg(line.username));
    if (password.outcome != NewPassword::Outcome::Read)
        return reportPasswordNotRead(password.outcome);
    if (const ValidationResult check = validateNewPassword(password.text); !check.passed)
        return reportRefused(check);
    AccountEdit edit;
    edit.values.append({PasswordField, password.text});
    const int status = runEdit(line, edit,
                               {QStringLiteral("Changed the password of"),
                                QStringLiteral("Would change the password of"),
                                {}});
    printGeneratedPassword(line, password.text, status);
    return status;
}

int runSet(const CommandLine &line)
{
    AccountEdit edit;
    if (line.newGmFlags)
        edit.values.append({GmFlagsField, QString::number(*line.newGmFlags)});
    edit.gmFlagsToAdd = line.gmChange.add;
    edit.gmFlagsToClear = line.gmChange.clear;
    QStringList changes;
    if (line.newEmail) {
        QString email = *line.newEmail;
        if (const ValidationResult check = validateNewEmail(email); !check.passed)
            return reportRefused(check);
        edit.values.append({EmailField, email});
        changes << QStringLiteral("e-mail %1").arg(printable(email));
    }
    if (line.newMale) {
        edit.values.append(
            {GenderField, *line.newMale ? QStringLiteral("1") : QStringLiteral("0")});
        changes << (*line.newMale ? QStringLiteral("male") : QStringLiteral("female"));
    }
    const bool gmChanged = line.newGmFlags || line.gmChange.add != 0 || line.gmChange.clear != 0;
    return runEdit(line, edit,
                   {QStringLiteral("Changed"), QStringLiteral("Would change"), changes, gmChanged});
}

int runRemove(const CommandLine &line)
{
    AccountEdit edit;
    edit.remove = true;
    return runEdit(line, edit, {QStringLiteral("Removed"), QStringLiteral("Would remove"), {}});
}
