#pragma once

#include <QString>

#include <functional>
#include <optional>

// Where a program found the server folder, the one that holds kData/kPlayer/kAdd.txt.
enum class ServerFolderSource
{
    CommandLine,   // --app-dir
    ProgramFolder, // the folder the program sits in
    ProgramParent, // the folder above it, so the Qt DLLs can keep to a subfolder of the server
    Environment,   // KELTO_APP_DIR
    SavedChoice,   // the folder the operator picked last time (window program only)
    WorkingFolder, // the current folder or the nearest above it that is one (kadd only)
    None,          // nothing names one: kadd stops, the window program asks
};

struct ServerLocation
{
    ServerFolderSource source = ServerFolderSource::None;
    QString path; // absolute; empty with None
};

inline const QString serverFolderVariable = QStringLiteral("KELTO_APP_DIR");

// Decides which server folder a program works on, first match wins: --app-dir, the program's
// own folder when it holds the account file, else the folder above it when that does,
// KELTO_APP_DIR, the saved choice when it still holds the account file. A folder named on purpose
// (--app-dir, KELTO_APP_DIR) is taken as it is, so a wrong one ends in a file error that names the
// path looked at. savedFolder is called only when everything before it failed, so a server folder
// beside the program reads nothing.
ServerLocation locateServerFolder(const std::optional<QString> &commandLine,
                                  const QString &programFolder, const QString &environment,
                                  const std::function<QString()> &savedFolder = {});

// The server folder that folder lies in, as git finds the repository it works in: folder
// itself or the nearest folder above it that holds the account file. None when no folder up
// to the root does, or when a folder that anyone may write comes first.
ServerLocation locateServerFolderAbove(const QString &folder);

// The first of kData, kData/kPlayer, kData/kPlayer/kAdd.txt that folder lacks, or an empty
// string when it is a server folder.
QString missingServerPart(const QString &folder);

// The folder an operator meant who picked kData, kData/kPlayer or the account file itself in a
// folder chooser: the one above them. Any other pick is taken as it is, made absolute.
QString serverFolderFromPick(const QString &picked);

// The server folder is decided far from where the account file is opened, and a missing file
// is best explained by how its folder was found; each program states its choice here once it
// has made it, and again when the operator picks another folder.
void setServerLocationInUse(const ServerLocation &location);

// How the server folder of accountPath was found, as a clause for a file error: "the server
// folder C:\Kelto was named by --app-dir".
QString describeServerFolder(const QString &accountPath);
