#pragma once

#include "core/AccountEdit.h"
#include "core/AccountFile.h"
#include "core/AccountRecord.h"
#include "core/EntryValidation.h"
#include "core/EntryView.h"

#include <QString>

#include <optional>

// What a change made in the Accounts window sends to the account file, decided here without a
// window, with the rules and the words kadd add, passwd, set and remove use.
struct AccountChange
{
    std::optional<ValidationResult> refused; // a rule refused a value: nothing is to be sent
    AccountEdit edit;                        // by name; no values and no removal: nothing to do
    std::optional<NewAccount> addition;      // a new account instead of an edit
    std::optional<FileLine> line;            // or one line to remove, as it was shown
    bool keepBackup = false;                 // of the line's removal

    bool isEmpty() const { return !addition && !line && !edit.remove && edit.values.isEmpty(); }
    // What the status line says the change is about.
    QString subject() const;
};

// A new account checked by the rules of creation, as the main window and kadd add check it,
// after its password typed twice matched.
AccountChange accountAddition(const QString &username, const QString &password,
                              const QString &repeated, bool male, const QString &email,
                              qint32 gmFlags);

// The password typed twice; both must match before the rules of creation look at it.
AccountChange passwordChange(const QString &username, const QString &password,
                             const QString &repeated);

// Only the fields that differ from the account as shown are sent, so that a value nobody
// touched is never written back over a change another program made meanwhile. The e-mail is
// checked only when it changed: an old entry that creation would refuse may keep its e-mail.
AccountChange detailsChange(const AccountRecord &shown, bool male, const QString &email,
                            qint32 gmFlags);

AccountChange removal(const QString &username, bool keepBackup);
// A malformed line, or one of the lines that hold the same name, removed only while it still
// holds the bytes shown.
AccountChange lineRemoval(const FileLine &line, bool keepBackup);

// The message box an edit's outcome calls for, in kadd's words; none when it is done.
struct ChangeMessage
{
    QString text;
    std::optional<QString> title; // none: the program's own
    MessageIcon icon = MessageIcon::Critical;
};
std::optional<ChangeMessage> editMessage(const QString &username, const EditResult &result);
// Sends the change to the account file and tells the message its outcome calls for. It runs on
// the change's own thread.
std::optional<ChangeMessage> sendChange(const QString &applicationFolder,
                                        const AccountChange &change);
