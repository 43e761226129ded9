#pragma once

#include "core/UsernameKey.h"

#include <QList>
#include <QString>

// The server's account file lies at <application folder>/kData/kPlayer/kAdd.txt. An update
// copies it into kAdd.tmp in the current working folder, appends the new record and puts the
// copy in place of the account file in one atomic step, under a lock beside the account file.

enum class AddOutcome
{
    Created,
    Duplicate,
    FileError,
};

struct AddAccountResult
{
    AddOutcome outcome = AddOutcome::FileError;
    QString errorText;        // for FileError: the account file's full path and the reason
    bool fileChanged = false; // for FileError: the change is made, but not yet safe on disk
    int duplicateLine = 0;    // for Duplicate: the line that holds the name, numbered from 1
    QString duplicateName;    // and the name as the file spells it
};

QString accountFilePath(const QString &applicationFolder);

// Appends recordLine to the account file unless a line's name field equals username without
// regard to case. When Created is returned the record is on disk; on Duplicate and FileError
// the account file is byte for byte as it was and no temporary file is left.
AddAccountResult AddAccount(const QString &applicationFolder, const QString &username,
                            const QString &recordLine);

// Deletes kAdd.tmp from the current working folder if it is there and no update is using it.
bool RemoveTempFile();

// Several accounts in one update: all are appended, in order, or none.
struct NewAccount
{
    QString username;
    QString recordLine;
    QString via = {}; // for the system log, where the account came from: "sign-up from 192.0.2.7"
};

enum class BatchMode
{
    Append,     // all or none
    AppendFree, // those whose name the file does not hold; the others are left out
    CheckOnly,  // scan the account file, change nothing
};

struct BatchResult
{
    // Created also for a CheckOnly run that found none, and for an AppendFree run that appended
    // any; Duplicate when nothing was appended for a name taken.
    AddOutcome outcome = AddOutcome::FileError;
    QList<int> alreadyTaken; // indexes of the accounts whose name the file already holds
    QString errorText;
    bool fileChanged = false; // as in AddAccountResult
    // The first line found to hold a name taken, as in AddAccountResult; 0 when not told.
    int duplicateLine = 0;
    QString duplicateName;
};

// The caller keeps the batch free of duplicates among its own names (see caseInsensitiveKey).
// origin names the import file the batch came from, for the system log; empty for other adds.
// backup keeps the previous file as <account file>.bak, as an edit's backup does; a CheckOnly
// run makes none.
BatchResult AddAccounts(const QString &applicationFolder, const QList<NewAccount> &accounts,
                        BatchMode mode = BatchMode::Append, const QString &origin = {},
                        bool backup = false);
