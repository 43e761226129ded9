#pragma once

#include "core/GmFlags.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>
#include <optional>

enum class Command
{
    Add,
    Import,
    Flags,
    List,
    Check,
    Passwd,
    Set,
    Remove,
    Verify,
    Repair,
    Restore,
    Export,
};

// What the command line asks for: a command to run, a text to show (help, version) or a
// usage error to report.
struct CommandLine
{
    enum class Action
    {
        Run,
        ShowText,
        UsageError,
    };

    Action action = Action::UsageError;
    Command command = Command::Add;
    QString text; // the help or version text, or the usage error
    // After a usage error: what to do instead, and where the command's options are told.
    QStringList hints;

    QString applicationFolder; // every command but flags

    QString username; // add
    std::optional<QString> password;
    bool generate = false; // add, passwd: a generated password instead
    bool female = false;
    QString email;
    qint32 gmFlags = 0;

    QString importFile; // import; "-" is standard input
    bool dryRun = false;

    std::optional<qint32> total; // flags

    QString pattern; // list, export
    bool showPasswords = false;
    bool json = false;    // list, verify
    bool verbose = false; // check

    // set; username and password above serve check, passwd, set and remove too
    std::optional<QString> newEmail;
    std::optional<qint32> newGmFlags;
    GmFlagChange gmChange; // --gm +NAME-NAME
    std::optional<bool> newMale;
    bool backup = false; // import, passwd, set, remove, repair; they and add take dryRun too

    bool keepLast = false; // repair: of a name present more than once, keep the last line
    bool yes = false;      // restore: swap without asking
};

// arguments as programArguments() gives them, the program first. programFolder is
// the folder kadd sits in, environmentFolder the value of KELTO_APP_DIR.
CommandLine parseCommandLine(const QStringList &arguments,
                             const std::function<QString()> &programFolder,
                             const QString &environmentFolder);

// Runs the command that the line names (its action is Run); returns kadd's exit status.
int runParsedCommand(const CommandLine &line);

// Where to look after a usage error that names no command.
QString programHelpHint();

// Names the exit statuses; shown at the end of the program's help.
QString exitStatusHelp();
