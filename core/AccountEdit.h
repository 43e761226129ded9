#pragma once

#include "core/AccountRecord.h"
#include "core/OperationResult.h"

#include <QByteArray>
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
    // GM flags given or taken away, applied to the flags the line holds at the moment of the
    // change, after values
    qint32 gmFlagsToAdd = 0;
    qint32 gmFlagsToClear = 0;
};

enum class EditOutcome
{
    Done, // or, for a dry run, would be done
    NoSuchAccount,
    Unchanged, // the account already holds the new values: nothing was written
    FileError,
    LineChanged, // a line to remove no longer holds the text given: nothing was written
};

struct EditResult : OperationResult<EditOutcome>
{
    // errorText as the system log may hold it: it names a value the edit brought by its field
    // alone, since the value may be a password.
    QString loggedErrorText;
    int lineNumber = 0;
    AccountRecord before; // the account as the file held it
    AccountRecord after;  // as it is now (not for a removal)
};

EditResult EditAccount(const QString &applicationFolder, const AccountEdit &edit);

// A line of the account file as a reader saw it: its number, from 1, and its bytes without the
// line end.
struct FileLine
{
    int number = 0;
    QByteArray text;
};

// Removes the given lines, all or none, and only while each still holds exactly the text given
// (another program may have changed the file since it was read): otherwise LineChanged. For
// mending the file: malformed lines, a name present twice.
EditResult RemoveLines(const QString &applicationFolder, const QList<FileLine> &lines, bool backup,
                       bool dryRun = false);

// Looks a name up without locking or changing anything: Done when found.
struct FindResult : OperationResult<EditOutcome>
{
    int lineNumber = 0;
    QString usernameInFile;
};

FindResult FindAccount(const QString &applicationFolder, const QString &username);
