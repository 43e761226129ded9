#pragma once

#include "core/AccountRecord.h"

#include <QList>
#include <QString>

// Changes one existing account of the account file: new values for some of its fields, or the
// removal of its line. The account is found as the duplicate check finds names; every other
// line keeps its bytes and its place, with the line ends an add gives it.
struct AccountEdit
{
    QString username;
    bool remove = false;
    QList<FieldValue> values; // the new field values, already checked by the entry rules
    bool dryRun = false;      // find the account and build its new line, change nothing
    bool backup = false;      // keep the previous file as <account file>.bak
};

enum class EditOutcome
{
    Done, // or, for a dry run, would be done
    NoSuchAccount,
    Unchanged, // the account already holds the new values: nothing was written
    FileError,
};

struct EditResult
{
    EditOutcome outcome = EditOutcome::FileError;
    QString errorText; // for FileError: the account file's full path and the reason
    // errorText as the system log may hold it: it names a value the edit brought by its field
    // alone, since the value may be a password.
    QString loggedErrorText;
    bool fileChanged = false; // for FileError: the change is made, but not yet safe on disk
    int lineNumber = 0;
    AccountRecord before; // the account as the file held it
    AccountRecord after;  // as it is now (not for a removal)
};

EditResult EditAccount(const QString &applicationFolder, const AccountEdit &edit);

// Looks a name up without locking or changing anything.
struct FindResult
{
    EditOutcome outcome = EditOutcome::FileError; // Done when found
    QString errorText;
    int lineNumber = 0;
    QString usernameInFile;
};

FindResult FindAccount(const QString &applicationFolder, const QString &username);
