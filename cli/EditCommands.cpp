#include "cli/EditCommands.h"

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/ExitStatus.h"
#include "cli/PasswordPrompt.h"
#include "cli/Report.h"

#include "core/AccountEdit.h"
#include "core/EntryValidation.h"
#include "core/GmFlags.h"

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
    QString details;
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
    if (line.dryRun) {
        printOut(QStringLiteral("%1 %2 (line %3)%4")
                     .arg(report.would, name)
                     .arg(result.lineNumber)
                     .arg(report.details));
        printError(QStringLiteral("Dry run: the account file was not changed."));
    } else {
        printOut(QStringLiteral("%1 %2%3").arg(report.done, name, report.details));
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
    return runEdit(line, edit,
                   {QStringLiteral("Changed the password of"),
                    QStringLiteral("Would change the password of"),
                    {}});
}

int runSet(const CommandLine &line)
{
    AccountEdit edit;
    QStringList changes;
    if (line.newGmFlags) {
        edit.values.append({GmFlagsField, QString::number(*line.newGmFlags)});
        const QStringList names = gmFlagNames(*line.newGmFlags);
        changes << QStringLiteral("GM flags %1%2")
                       .arg(*line.newGmFlags)
                       .arg(names.isEmpty() ? QString()
                                            : QStringLiteral(" (%1)").arg(names.join(u'+')));
    }
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
    return runEdit(line, edit,
                   {QStringLiteral("Changed"), QStringLiteral("Would change"),
                    QStringLiteral(": ") + changes.join(QStringLiteral(", "))});
}

int runRemove(const CommandLine &line)
{
    AccountEdit edit;
    edit.remove = true;
    return runEdit(line, edit, {QStringLiteral("Removed"), QStringLiteral("Would remove"), {}});
}
