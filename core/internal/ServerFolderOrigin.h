#pragma once

#include <QString>

// The server folder is decided far above the file layer, yet a missing account file is best
// explained by how its folder was found. The layer that decides it hands down a describer.

// Returns, for an account file's path, a clause such as "the server folder C:\Kelto was named by
// --app-dir".
using ServerFolderDescriber = QString (*)(const QString &accountPath);

void setServerFolderDescriber(ServerFolderDescriber describe);
// The clause for accountPath; without a describer, serverFolderLookedIn().
QString serverFolderOrigin(const QString &accountPath);
// "the server folder looked in is C:\Kelto": all that can be said without knowing how.
QString serverFolderLookedIn(const QString &accountPath);
