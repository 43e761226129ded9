#pragma once

#include "core/internal/AccountFileUpdate.h"

// Keeps the account file as it is now as <account file>.bak beside it, replacing an older
// backup; called under the update's lock, before the new file is put in place. A hard link costs
// no copy: after the rename it alone holds the old content. Where the file system has no hard
// links, the backup is a copy that is complete before it takes the name.
Failure keepBackup(AccountFileUpdate &update);
