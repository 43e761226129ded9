#include "core/internal/fs/SharedFolder.h"

// A Windows folder's access list cannot be told from a mode; the folders a user works in, the
// profile and the program folders, are closed to other users by default.
bool anyoneMayWrite(const QString &)
{
    return false;
}
