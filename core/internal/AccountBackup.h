#pragma once

#include "core/internal/AccountFileUpdate.h"

// Keeps the account file as it was before a change as <account file>.bak beside it. The backup
// is made as .bak.new under the update's lock before the new file is put in place, and takes
// the place of the previous backup only once the change is in place: a change that fails
// leaves the previous backup as it was. A hard link costs no copy: after the rename it alone
// holds the old content. Where the file system has no hard links, the backup is a copy.
class AccountBackup
{
public:
    explicit AccountBackup(AccountFileUpdate &update);
    ~AccountBackup(); // removes a .bak.new that was not kept
    AccountBackup(const AccountBackup &) = delete;
    AccountBackup &operator=(const AccountBackup &) = delete;

    // Before the update's commit().
    Failure prepare();
    // After it, once the new file is in place.
    Failure keep();

private:
    Failure copyInto(const QString &part);

    AccountFileUpdate &m_update;
    QString m_backup;
    QString m_pending; // .bak.new, while it is there
};

// The update's commit(), with the previous file kept as its backup when backup is set: the
// backup is prepared first, and kept once the new file is in place, even when the flush after
// it failed. Every change of the account file that offers a backup goes through here.
Failure commitWithBackup(AccountFileUpdate &update, bool backup);
