#pragma once

#include "core/OperationResult.h"
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

struct AddAccountResult : OperationResult<AddOutcome>
{
    int duplicateLine = 0; // for Duplicate: the line that holds the name, numbered from 1
    QString duplicateName; // and the name as the file spells it
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

// The outcome is Created also for a CheckOnly run that found none, and for an AppendFree run
// that appended any; Duplicate when nothing was appended for a name taken. duplicateLine is the
// first line found to hold a name taken, 0 when not told.
struct BatchResult : AddAccountResult
{
    QList<int> alreadyTaken; // indexes of the accounts whose name the file already holds
};

// The caller keeps the batch free of duplicates among its own names (see caseInsensitiveKey).
// origin names the import file the batch came from, for the system log; empty for other adds.
// backup keeps the previous file as <account file>.bak, as an edit's backup does; a CheckOnly
// run makes none.
BatchResult AddAccounts(const QString &applicationFolder, const QList<NewAccount> &accounts,
                        BatchMode mode = BatchMode::Append, const QString &origin = {},
                        bool backup = false);
