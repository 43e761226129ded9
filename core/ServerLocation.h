#pragma once

#include <QString>

#include <functional>
#include <optional>

// Where a program found the server folder, the one that holds kData/kPlayer/kAdd.txt.
enum class ServerFolderSource
{
    CommandLine,   // --app-dir
    ProgramFolder, // the folder the program sits in
    Environment,   // KELTO_APP_DIR
    SavedChoice,   // the folder the operator picked last time (window program only)
    None,          // nothing names one: kadd stops, the window program asks
};

struct ServerLocation
{
    ServerFolderSource source = ServerFolderSource::None;
    QString path; // absolute; empty with None
};

inline const QString serverFolderVariable = QStringLiteral("KELTO_APP_DIR");

// Decides which server folder a program works on, first match wins: --app-dir, the program's
// own folder when it holds the account file, KELTO_APP_DIR, the saved choice when it still
// holds the account file. A folder named on purpose (--app-dir, KELTO_APP_DIR) is taken as it
// is, so a wrong one ends in a file error that names the path looked at. savedFolder is called
// only when everything before it failed, so a server folder beside the program reads nothing.
ServerLocation locateServerFolder(const std::optional<QString> &commandLine,
                                  const QString &programFolder, const QString &environment,
                                  const std::function<QString()> &savedFolder = {});

// The first of kData, kData/kPlayer, kData/kPlayer/kAdd.txt that folder lacks, or an empty
// string when it is a server folder.
QString missingServerPart(const QString &folder);
