#include "ui/AccountChange.h"

#include "core/CreateAccount.h"
#include "core/RecordEncoding.h"

namespace {

std::optional<ValidationResult> passwordsDiffer(const QString &password, const QString &repeated)
{
    if (password == repeated)
        return std::nullopt;
    return ValidationResult::fail(QStringLiteral("The two passwords are not the same"),
                                  QStringLiteral("Password"));
}

std::optional<ChangeMessage> addMessage(const AddAccountResult &result)
{
    switch (result.outcome) {
    case AddOutcome::Created:
        return std::nullopt;
    case AddOutcome::Duplicate:
        // As the main window tells it.
        return ChangeMessage{QStringLiteral("Username exist"), std::nullopt, MessageIcon::None};
    case AddOutcome::FileError:
        break;
    }
    return ChangeMessage{result.errorText, fileErrorTitle};
}

} // namespace

AccountChange passwordChange(const QString &username, const QString &password,
                             const QString &repeated)
{
    AccountChange change;
    change.edit.username = username;
    if ((change.refused = passwordsDiffer(password, repeated)))
        return change;
    if (ValidationResult check = validateNewPassword(password); !check.passed) {
        change.refused = check;
        return change;
    }
    change.edit.values.append({PasswordField, password});
    return change;
}

AccountChange detailsChange(const AccountRecord &shown, bool male, const QString &email,
                            qint32 gmFlags)
{
    AccountChange change;
    change.edit.username = shown.username;
    if (gmFlags != shown.gmFlags)
        change.edit.values.append({GmFlagsField, QString::number(gmFlags)});
    if (email != shown.email) {
        QString checked = email;
        if (ValidationResult check = validateNewEmail(checked); !check.passed) {
            change.refused = check;
            return change;
        }
        if (checked != shown.email)
            change.edit.values.append({EmailField, checked});
    }
    if (male != shown.male)
        change.edit.values.append({GenderField, male ? QStringLiteral("1") : QStringLiteral("0")});
    return change;
}

AccountChange accountAddition(const QString &username, const QString &password,
                              const QString &repeated, bool male, const QString &email,
                              qint32 gmFlags)
{
    AccountChange change;
    if ((change.refused = passwordsDiffer(password, repeated)))
        return change;
    QString checkedEmail = email;
    if (ValidationResult check = validateAccountTexts(username, password, checkedEmail);
        !check.passed) {
        change.refused = check;
        return change;
    }
    change.addition = NewAccount{
        username, BuildRecordLine(username, password, male ? 1 : 0, checkedEmail, gmFlags)};
    return change;
}

AccountChange removal(const QString &username, bool keepBackup)
{
    AccountChange change;
    change.edit.username = username;
    change.edit.remove = true;
    change.edit.backup = keepBackup;
    return change;
}

AccountChange lineRemoval(const FileLine &line, bool keepBackup)
{
    AccountChange change;
    change.line = line;
    change.keepBackup = keepBackup;
    return change;
}

QString AccountChange::subject() const
{
    if (addition)
        return addition->username;
    if (line)
        return QStringLiteral("line %1").arg(line->number);
    return edit.username;
}

std::optional<ChangeMessage> editMessage(const QString &username, const EditResult &result)
{
    switch (result.outcome) {
    case EditOutcome::Done:
    case EditOutcome::Unchanged:
        return std::nullopt;
    case EditOutcome::NoSuchAccount:
        return ChangeMessage{QStringLiteral("No such account: %1").arg(username), std::nullopt};
    case EditOutcome::FileError:
    case EditOutcome::LineChanged:
        break;
    }
    return ChangeMessage{result.errorText, fileErrorTitle};
}

std::optional<ChangeMessage> sendChange(const QString &applicationFolder,
                                        const AccountChange &change)
{
    if (const std::optional<NewAccount> &add = change.addition)
        return addMessage(AddAccount(applicationFolder, add->username, add->recordLine));
    if (change.line)
        return editMessage(change.subject(),
                           RemoveLines(applicationFolder, {*change.line}, change.keepBackup));
    return editMessage(change.edit.username, EditAccount(applicationFolder, change.edit));
}
