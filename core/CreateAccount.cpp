#include "core/CreateAccount.h"

#include "core/AccountFile.h"
#include "core/EntryValidation.h"
#include "core/EntryView.h"
#include "core/RecordEncoding.h"

#include <optional>

namespace {

void resetGmFlags(EntryView &view)
{
    view.setGmFlagTotal(0);
    view.keptValues().gmFlagsUsed = 0;
}

} // namespace

void ClearEntry(EntryView &view)
{
    view.setText(EntryBox::Username, QString());
    view.setText(EntryBox::Password, QString());
    view.setText(EntryBox::Email, QString());
    view.setMaleSelected(true);
    resetGmFlags(view);
}

CreateOutcome CreateAccount(EntryView &view)
{
    const ValidationResult check = ValidateEntry(view);
    if (!check.passed) {
        view.showMessageBox(check.text, check.title, MessageIcon::Critical);
        return CreateOutcome::Refused;
    }

    CreateAccountState &kept = view.keptValues();
    kept.username = view.text(EntryBox::Username);
    kept.password = view.text(EntryBox::Password);
    kept.email = view.text(EntryBox::Email);
    kept.gender = view.isMaleSelected() ? 1 : 0;
    kept.gmFlagsUsed = view.gmFlagTotal();
    kept.lastRecordLine =
        BuildRecordLine(kept.username, kept.password, kept.gender, kept.email, kept.gmFlagsUsed);
    // Shown before the file is touched, so a refused line stays visible too.
    view.setRecordLabel(kept.lastRecordLine);

    const AddAccountResult result =
        AddAccount(view.applicationFolder(), kept.username, kept.lastRecordLine);
    switch (result.outcome) {
    case AddOutcome::Created:
        view.runClear();
        return CreateOutcome::Created;
    case AddOutcome::Duplicate:
        view.showMessageBox(QStringLiteral("Username exist"), std::nullopt, MessageIcon::None);
        ClearEntry(view);
        RemoveTempFile();
        return CreateOutcome::Duplicate;
    case AddOutcome::FileError:
        break;
    }
    // The entry and the GM flags stay as they are, so the operator can mend the cause and
    // press Create Account again.
    view.showMessageBox(result.errorText, fileErrorTitle, MessageIcon::Critical);
    return CreateOutcome::FileError;
}
