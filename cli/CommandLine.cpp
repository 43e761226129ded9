#include "cli/CommandLine.h"

#include "cli/AddCommand.h"
#include "cli/EditCommands.h"
#include "cli/ExitStatus.h"
#include "cli/ExportCommand.h"
#include "cli/FileCheckCommands.h"
#include "cli/FlagsCommand.h"
#include "cli/ImportCommand.h"
#include "cli/ListCommand.h"
#include "cli/OptionSuggestion.h"
#include "cli/RestoreCommand.h"

#include "core/GmFlags.h"
#include "core/ServerLocation.h"

#include <QCommandLineParser>
#include <QDir>
#include <QRegularExpression>

#include <algorithm>

namespace {

const QString gmSyntax = QStringLiteral("a total from 0 to 65535 or flag names joined by '+' "
                                        "(WARP+WHOIS), see 'kadd flags'");

struct Options
{
    QCommandLineOption female{QStringLiteral("female"),
                              QStringLiteral("The account is female (male by default).")};
    QCommandLineOption email{QStringLiteral("email"),
                             QStringLiteral("The account's e-mail address (\"none\" by default)."),
                             QStringLiteral("EMAIL")};
    QCommandLineOption gm{QStringLiteral("gm"),
                          QStringLiteral("GM privileges: ") + gmSyntax + QStringLiteral("."),
                          QStringLiteral("FLAGS")};
    QCommandLineOption appDir{
        QStringLiteral("app-dir"),
        QStringLiteral("The server folder that holds kData/kPlayer/kAdd.txt (by default the "
                       "folder of kadd itself or the one above it when it holds that file, else "
                       "the folder that KELTO_APP_DIR names, else the current folder or the "
                       "nearest above it that holds the file)."),
        QStringLiteral("DIR")};
    QCommandLineOption dryRun{QStringLiteral("dry-run"),
                              QStringLiteral("Check every line and report what would be added, "
                                             "but change nothing.")};
    QCommandLineOption dryRunEdit{QStringLiteral("dry-run"),
                                  QStringLiteral("Say what would change, but change nothing.")};
    QCommandLineOption backup{QStringLiteral("backup"),
                              QStringLiteral("Keep the previous account file as kAdd.txt.bak "
                                             "beside it.")};
    QCommandLineOption maleAdd{QStringLiteral("male"),
                               QStringLiteral("The account is male (the default).")};
    QCommandLineOption male{QStringLiteral("male"), QStringLiteral("The account becomes male.")};
    QCommandLineOption femaleEdit{QStringLiteral("female"),
                                  QStringLiteral("The account becomes female.")};
    QCommandLineOption emailEdit{QStringLiteral("email"),
                                 QStringLiteral("The new e-mail address (\"\" means \"none\")."),
                                 QStringLiteral("EMAIL")};
    QCommandLineOption gmEdit{QStringLiteral("gm"),
                              QStringLiteral("The new GM privileges: ") + gmSyntax +
                                  QStringLiteral("; or flags to give (+NAME) and take away "
                                                 "(-NAME), such as +WARP-WHOIS."),
                              QStringLiteral("FLAGS")};
    QCommandLineOption dryRunAdd{QStringLiteral("dry-run"),
                                 QStringLiteral("Check the entry and whether the username is "
                                                "taken, and say what would be added, but change "
                                                "nothing.")};
    QCommandLineOption generate{QStringLiteral("generate"),
                                QStringLiteral("Make up a password of 12 letters and digits and "
                                               "print it once the change is made.")};
    QCommandLineOption showPasswords{QStringLiteral("show-passwords"),
                                     QStringLiteral("Show the passwords too.")};
    QCommandLineOption json{QStringLiteral("json"),
                            QStringLiteral("Print a JSON array of objects instead, for scripts.")};
    QCommandLineOption verbose{QStringLiteral("verbose"),
                               QStringLiteral("Say whether the account exists, and on which "
                                              "line.")};
    // The commands that mend and move the whole file.
    QCommandLineOption backupByDefault{
        QStringLiteral("backup"),
        QStringLiteral("Keep the previous account file as kAdd.txt.bak beside it (the default).")};
    QCommandLineOption noBackup{QStringLiteral("no-backup"),
                                QStringLiteral("Keep no copy of the previous account file.")};
    QCommandLineOption keep{QStringLiteral("keep"),
                            QStringLiteral("Of a name present more than once, keep the first "
                                           "line (the default) or the last."),
                            QStringLiteral("first|last")};
    QCommandLineOption yes{QStringLiteral("yes"), QStringLiteral("Swap without asking.")};
    QCommandLineOption jsonFindings{
        QStringLiteral("json"), QStringLiteral("Print the findings as one JSON object instead.")};
};

CommandLine usageError(const QString &message, const QStringList &hints = {programHelpHint()})
{
    CommandLine line;
    line.action = CommandLine::Action::UsageError;
    line.text = message;
    line.hints = hints;
    return line;
}

QString commandHelpHint(QLatin1StringView command)
{
    return QStringLiteral("Try 'kadd %1 --help' for more information.").arg(command);
}

CommandLine showText(const QString &text)
{
    CommandLine line;
    line.action = CommandLine::Action::ShowText;
    line.text = text;
    return line;
}

QString versionText()
{
    return QStringLiteral("kadd " KELTO_VERSION);
}

void describeProgram(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Adds and manages the player accounts of a game server's account file, "
                       "kData/kPlayer/kAdd.txt below the server folder.\n\n"
                       "The server folder is the one given by --app-dir DIR, else the folder of "
                       "kadd when it holds kData/kPlayer/kAdd.txt, else the folder above it when "
                       "that does, else the one named by the environment variable "
                       "KELTO_APP_DIR, else the current folder or the nearest folder above it "
                       "that holds kData/kPlayer/kAdd.txt.\n\n"
                       "Commands:\n"
                       "  add USERNAME [PASSWORD]  Add one account.\n"
                       "  import FILE|-            Add many accounts in one update, all or none.\n"
                       "  flags [TOTAL]            Show the GM flags, or those a total holds.\n"
                       "  list [PATTERN]           List the accounts.\n"
                       "  check NAME               Tell whether an account exists.\n"
                       "  passwd NAME [PASSWORD]   Change an account's password.\n"
                       "  set NAME OPTIONS         Change an account's GM flags, e-mail or "
                       "gender.\n"
                       "  remove NAME              Remove an account.\n"
                       "  verify                   Report lines that are no records, and names "
                       "present twice.\n"
                       "  repair                   Drop the lines that verify reports.\n"
                       "  restore                  Swap the account file with its backup.\n"
                       "  export [PATTERN]         Print the record lines, passwords included, "
                       "for import.\n"
                       "  help [COMMAND]           Show this help, or a command's.\n\n"
                       "Run 'kadd COMMAND --help' (or 'kadd help COMMAND') for the options of a "
                       "command."));
    parser.addPositionalArgument(
        QStringLiteral("command"),
        QStringLiteral("add, import, flags, list, check, passwd, set, remove, verify, repair, "
                       "restore, export or help."),
        QStringLiteral("COMMAND"));
}

void describeAdd(QCommandLineParser &parser, const Options &options)
{
    parser.setApplicationDescription(QStringLiteral(
        "Adds one account to the account file, unless the file already holds the username "
        "in any letter case. Without PASSWORD (or --generate) the password is read as one line "
        "from standard input, without echo on a terminal, so that it shows neither in the "
        "process list nor in the shell history; typed at a terminal, it is asked for twice. "
        "Put -- before a password that starts with '-'."));
    // The command's name stands in the usage line only: listed under Arguments it would be
    // one more thing to type.
    parser.addPositionalArgument(QStringLiteral("USERNAME"),
                                 QStringLiteral("4 to 16 characters, no spaces or commas."),
                                 QStringLiteral("add USERNAME"));
    parser.addPositionalArgument(QStringLiteral("PASSWORD"),
                                 QStringLiteral("4 to 16 characters, no spaces or commas."),
                                 QStringLiteral("[PASSWORD]"));
    parser.addOptions({options.maleAdd, options.female, options.email, options.gm, options.generate,
                       options.dryRunAdd, options.appDir});
}

void describeImport(QCommandLineParser &parser, const Options &options)
{
    parser.setApplicationDescription(QStringLiteral(
        "Adds many accounts in one update of the account file. Each line of FILE holds one "
        "account as the account file does: username,password,gender,email,gm with gender 1 "
        "(male) or 0 (female), an empty email meaning \"none\" and an empty gm meaning 0 (gm "
        "may also be flag names, as for add --gm). Blank lines and lines starting with # are "
        "skipped. Every line is checked against the rules, the account file and the other "
        "lines; if any line fails, each failing line is reported with its number and nothing "
        "is added."));
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("The accounts to add; - reads standard input."),
                                 QStringLiteral("import FILE"));
    parser.addOptions({options.dryRun, options.backup, options.appDir});
}

void describeFlags(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Shows the GM flag table (value, name, caption), or with TOTAL the "
                       "names of the flags that the total holds."));
    parser.addPositionalArgument(QStringLiteral("TOTAL"), gmSyntax + u'.',
                                 QStringLiteral("flags [TOTAL]"));
}

const QString nameHelp = QStringLiteral("The account's username, in any letter case.");
const QString changeHelp = QStringLiteral(
    " The account is found as add finds duplicates: letter case does not matter, and a file that "
    "holds the name twice is an error. Only its line is rewritten, through the same lock and "
    "safe replacement as an add.");

const QString patternHelp = QStringLiteral(
    "Only accounts whose username or e-mail matches, in any letter case. Text without * or ? "
    "matches where it is contained; with * (any characters) or ? (one) it must match the whole "
    "username or e-mail: A* starts with a, *@example.org ends so. The Accounts window's filter "
    "matches the same way.");

void describeList(QCommandLineParser &parser, const Options &options)
{
    parser.setApplicationDescription(QStringLiteral(
        "Lists the accounts in file order, one per line: username, gender, e-mail, GM flags as a "
        "number and as names; in aligned columns on a terminal, else separated by tabs. A line "
        "that is not a well-formed record is listed too, marked as such, with its line number "
        "and the reason."));
    parser.addPositionalArgument(QStringLiteral("PATTERN"), patternHelp,
                                 QStringLiteral("list [PATTERN]"));
    parser.addOptions({options.showPasswords, options.json, options.appDir});
}

void describeCheck(QCommandLineParser &parser, const Options &options)
{
    parser.setApplicationDescription(
        QStringLiteral("Exits with 0 when the account exists (in any letter case), with 1 "
                       "when it does not."));
    parser.addPositionalArgument(QStringLiteral("NAME"), nameHelp, QStringLiteral("check NAME"));
    parser.addOptions({options.verbose, options.appDir});
}

void describePasswd(QCommandLineParser &parser, const Options &options)
{
    parser.setApplicationDescription(
        QStringLiteral("Replaces the password of an account. Without PASSWORD (or --generate) "
                       "it is read as one line from standard input, without echo on a terminal, "
                       "where it is asked for twice. The password must pass the rules of add.") +
        changeHelp);
    parser.addPositionalArgument(QStringLiteral("NAME"), nameHelp, QStringLiteral("passwd NAME"));
    parser.addPositionalArgument(QStringLiteral("PASSWORD"),
                                 QStringLiteral("4 to 16 characters, no spaces or commas."),
                                 QStringLiteral("[PASSWORD]"));
    parser.addOptions({options.generate, options.dryRunEdit, options.backup, options.appDir});
}

void describeSet(QCommandLineParser &parser, const Options &options)
{
    parser.setApplicationDescription(
        QStringLiteral("Replaces the given fields of an account; each new value must pass the "
                       "rules of add.") +
        changeHelp);
    parser.addPositionalArgument(QStringLiteral("NAME"), nameHelp, QStringLiteral("set NAME"));
    parser.addOptions({options.gmEdit, options.emailEdit, options.male, options.femaleEdit,
                       options.dryRunEdit, options.backup, options.appDir});
}

void describeRemove(QCommandLineParser &parser, const Options &options)
{
    parser.setApplicationDescription(
        QStringLiteral("Removes an account's line, keeping the previous file as kAdd.txt.bak "
                       "unless --no-backup.") +
        changeHelp);
    parser.addPositionalArgument(QStringLiteral("NAME"), nameHelp, QStringLiteral("remove NAME"));
    parser.addOptions(
        {options.dryRunEdit, options.backupByDefault, options.noBackup, options.appDir});
}

// A command on the whole file, which takes no argument but its own name.
void describeWholeFile(QCommandLineParser &parser, const QString &command,
                       const QString &description, const QList<QCommandLineOption> &options)
{
    parser.setApplicationDescription(description);
    parser.addPositionalArgument(command, {}, command);
    parser.addOptions(options);
}

void describeVerify(QCommandLineParser &parser, const Options &options)
{
    describeWholeFile(
        parser, QStringLiteral("verify"),
        QStringLiteral("Reads the whole account file and lists each line that is not a "
                       "well-formed account record, with the reason, and each line whose name "
                       "an earlier line holds (in any letter case, an accented letter typed "
                       "either way), with the line of the first. Exits with 0 when the file is "
                       "sound and with 3 otherwise, so that cron can watch it. Passwords are "
                       "never shown."),
        {options.jsonFindings, options.appDir});
}

void describeRepair(QCommandLineParser &parser, const Options &options)
{
    describeWholeFile(
        parser, QStringLiteral("repair"),
        QStringLiteral("Drops the lines that verify reports: those that are not account records "
                       "and, of a name present more than once, every line after the first "
                       "(--keep last: every line but the last). Lists each line it drops, with "
                       "its number and why. The lines go all or none, and only while each still "
                       "holds what was read; the previous file is kept as kAdd.txt.bak unless "
                       "--no-backup."),
        {options.keep, options.dryRunEdit, options.noBackup, options.appDir});
}

void describeRestore(QCommandLineParser &parser, const Options &options)
{
    describeWholeFile(
        parser, QStringLiteral("restore"),
        QStringLiteral("Swaps the account file with its backup kAdd.txt.bak (which remove, "
                       "repair and the changes given --backup keep), after showing how many "
                       "accounts only one of them holds; a second restore undoes the first. "
                       "Asks first on a terminal, and without one needs --yes. Changes nothing "
                       "if either file changed after the counts were shown."),
        {options.yes, options.appDir});
}

void describeExport(QCommandLineParser &parser, const Options &options)
{
    parser.setApplicationDescription(QStringLiteral(
        "Prints the account records as the account file holds them, passwords included, one a "
        "line with CR LF ends: the format import reads, so that kadd export | kadd import "
        "--app-dir OTHER - copies the accounts into another server's file. Lines that are not "
        "records are left out, and counted on standard error."));
    parser.addPositionalArgument(QStringLiteral("PATTERN"), patternHelp,
                                 QStringLiteral("export [PATTERN]"));
    parser.addOptions({options.appDir});
}

// Qt's own help option also offers --help-all, for the options of a Qt application object,
// which kadd does not have; its version option also takes -v, which after "check NAME" would
// end kadd with 0, "found", for a name that is not there. A word after a single dash is one
// option, not a row of letters: "-pw12" is then the one unknown option that it most likely is,
// a password.
void addStandardOptions(QCommandLineParser &parser)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOption({{QStringLiteral("h"), QStringLiteral("help")},
                      QStringLiteral("Displays help on commandline options.")});
    parser.addOption({QStringLiteral("version"), QStringLiteral("Displays version information.")});
}

// A command's help tells its own options; the program's help adds what holds for all of them.
QString helpText(const QCommandLineParser &parser, bool program)
{
    // Without an application object Qt names the program "<executable_name>"; the usage line
    // should name it as the operator types it.
    QString text = parser.helpText();
    const qsizetype programEnd = text.indexOf(QStringLiteral(" [options]"));
    if (text.startsWith(QStringLiteral("Usage: ")) && programEnd > 0)
        text.replace(0, programEnd, QStringLiteral("Usage: kadd"));
    // A command without arguments is named as one for the usage line alone.
    static const QRegularExpression nameOnly(QStringLiteral("\nArguments:\n  [a-z]+\n$"));
    text.remove(nameOnly);
    if (!program)
        return text;
    return text + u'\n' + exitStatusHelp() +
           QStringLiteral(
               "\nEvery change to the account file, and every file error that stops one, is\n"
               "recorded in the system log (syslog's auth facility; on Windows the Application\n"
               "event log). Passwords never are.\n");
}

// The GM flags an option names, as a total or as flags to give and take away, or the usage
// error.
QString readGmOption(const QCommandLineParser &parser, const QCommandLineOption &option,
                     std::optional<qint32> &total, GmFlagChange &change)
{
    if (!parser.isSet(option))
        return {};
    const QString value = parser.value(option);
    if (const std::optional<GmFlagChange> relative = parseGmFlagChange(value)) {
        change = *relative;
        return {};
    }
    total = parseGmFlags(value);
    if (!total)
        return QStringLiteral("--gm '%1' is not %2, nor flags to give and take away "
                              "(+WARP-WHOIS).")
            .arg(value, gmSyntax);
    return {};
}

// add and passwd: the name, and the password given or to be generated.
QString readPasswordArguments(const QCommandLineParser &parser, const QStringList &values,
                              const Options &options, CommandLine &line)
{
    line.username = values.at(0);
    if (values.size() == 2)
        line.password = values.at(1);
    line.generate = parser.isSet(options.generate);
    if (line.generate && line.password)
        return QStringLiteral("Give a PASSWORD or --generate, not both.");
    return {};
}

QString readAdd(const QCommandLineParser &parser, const QStringList &values, const Options &options,
                CommandLine &line)
{
    if (values.isEmpty())
        return QStringLiteral("add needs a USERNAME.");
    if (values.size() > 2)
        return QStringLiteral("add takes a USERNAME and a PASSWORD; '%1' is one argument too many.")
            .arg(values.at(2));
    if (QString error = readPasswordArguments(parser, values, options, line); !error.isEmpty())
        return error;
    if (parser.isSet(options.maleAdd) && parser.isSet(options.female))
        return QStringLiteral("add takes --male or --female, not both.");
    line.female = parser.isSet(options.female);
    line.email = parser.value(options.email);
    line.dryRun = parser.isSet(options.dryRunAdd);
    std::optional<qint32> total;
    GmFlagChange change;
    const QString error = readGmOption(parser, options.gm, total, change);
    // A new account holds no flags to take away.
    line.gmFlags = total.value_or(change.add);
    return error;
}

QString readImport(const QCommandLineParser &parser, const QStringList &values,
                   const Options &options, CommandLine &line)
{
    if (values.size() != 1)
        return QStringLiteral("import takes exactly one FILE (or - for standard input).");
    line.importFile = values.at(0);
    line.dryRun = parser.isSet(options.dryRun);
    line.backup = parser.isSet(options.backup);
    return {};
}

QString readFlags(const QCommandLineParser &, const QStringList &values, const Options &,
                  CommandLine &line)
{
    if (values.size() > 1)
        return QStringLiteral("flags takes at most one TOTAL.");
    if (values.size() == 1) {
        line.total = parseGmFlags(values.at(0));
        if (!line.total)
            return QStringLiteral("'%1' is not %2.").arg(values.at(0), gmSyntax);
    }
    return {};
}

QString readList(const QCommandLineParser &parser, const QStringList &values,
                 const Options &options, CommandLine &line)
{
    if (values.size() > 1)
        return QStringLiteral("list takes at most one PATTERN.");
    line.pattern = values.value(0);
    line.showPasswords = parser.isSet(options.showPasswords);
    line.json = parser.isSet(options.json);
    return {};
}

// check, set and remove: one NAME.
QString readName(const QString &command, const QStringList &values, CommandLine &line)
{
    if (values.size() != 1)
        return QStringLiteral("%1 takes exactly one NAME.").arg(command);
    line.username = values.at(0);
    return {};
}

void readEditOptions(const QCommandLineParser &parser, const Options &options, CommandLine &line)
{
    line.dryRun = parser.isSet(options.dryRunEdit);
    line.backup = parser.isSet(options.backup);
}

QString readCheck(const QCommandLineParser &parser, const QStringList &values,
                  const Options &options, CommandLine &line)
{
    line.verbose = parser.isSet(options.verbose);
    return readName(QStringLiteral("check"), values, line);
}

QString readPasswd(const QCommandLineParser &parser, const QStringList &values,
                   const Options &options, CommandLine &line)
{
    if (values.isEmpty() || values.size() > 2)
        return QStringLiteral("passwd takes a NAME and, optionally, a PASSWORD.");
    readEditOptions(parser, options, line);
    return readPasswordArguments(parser, values, options, line);
}

QString readSet(const QCommandLineParser &parser, const QStringList &values, const Options &options,
                CommandLine &line)
{
    if (QString error = readName(QStringLiteral("set"), values, line); !error.isEmpty())
        return error;
    readEditOptions(parser, options, line);
    if (parser.isSet(options.male) && parser.isSet(options.femaleEdit))
        return QStringLiteral("set takes --male or --female, not both.");
    if (parser.isSet(options.male) || parser.isSet(options.femaleEdit))
        line.newMale = parser.isSet(options.male);
    if (parser.isSet(options.emailEdit))
        line.newEmail = parser.value(options.emailEdit);
    if (QString error = readGmOption(parser, options.gmEdit, line.newGmFlags, line.gmChange);
        !error.isEmpty())
        return error;
    if (!line.newMale && !line.newEmail && !line.newGmFlags && !parser.isSet(options.gmEdit))
        return QStringLiteral("set needs at least one of --gm, --email, --male, --female.");
    return {};
}

QString readRemove(const QCommandLineParser &parser, const QStringList &values,
                   const Options &options, CommandLine &line)
{
    readEditOptions(parser, options, line);
    line.backup = !parser.isSet(options.noBackup);
    return readName(QStringLiteral("remove"), values, line);
}

QString noArguments(const QString &command, const QStringList &values)
{
    if (values.isEmpty())
        return {};
    return QStringLiteral("%1 takes no arguments; '%2' is one too many.")
        .arg(command, values.at(0));
}

QString readVerify(const QCommandLineParser &parser, const QStringList &values,
                   const Options &options, CommandLine &line)
{
    line.json = parser.isSet(options.jsonFindings);
    return noArguments(QStringLiteral("verify"), values);
}

QString readRepair(const QCommandLineParser &parser, const QStringList &values,
                   const Options &options, CommandLine &line)
{
    line.dryRun = parser.isSet(options.dryRunEdit);
    line.backup = !parser.isSet(options.noBackup);
    const QString keep = parser.value(options.keep);
    if (!keep.isEmpty() && keep != QLatin1String("first") && keep != QLatin1String("last"))
        return QStringLiteral("--keep takes first or last, not '%1'.").arg(keep);
    line.keepLast = keep == QLatin1String("last");
    return noArguments(QStringLiteral("repair"), values);
}

QString readRestore(const QCommandLineParser &parser, const QStringList &values,
                    const Options &options, CommandLine &line)
{
    line.yes = parser.isSet(options.yes);
    return noArguments(QStringLiteral("restore"), values);
}

QString readExport(const QCommandLineParser &, const QStringList &values, const Options &,
                   CommandLine &line)
{
    if (values.size() > 1)
        return QStringLiteral("export takes at most one PATTERN.");
    line.pattern = values.value(0);
    return {};
}

void describeFlagsCommand(QCommandLineParser &parser, const Options &)
{
    describeFlags(parser);
}

// Each command once: its name, how it describes itself, how it reads its arguments, what runs
// it.
struct CommandEntry
{
    Command command;
    QLatin1StringView name;
    void (*describe)(QCommandLineParser &, const Options &);
    // The usage error, or empty when the arguments are the command's.
    QString (*read)(const QCommandLineParser &, const QStringList &values, const Options &,
                    CommandLine &);
    bool needsServerFolder;
    int (*run)(const CommandLine &);
    // How to give a password on the command line, for a command that takes one.
    const char *passwordUsage;
};

const CommandEntry commands[] = {
    {Command::Add, QLatin1StringView("add"), describeAdd, readAdd, true, runAdd,
     "kadd add USERNAME -- PASSWORD"},
    {Command::Import, QLatin1StringView("import"), describeImport, readImport, true, runImport,
     nullptr},
    {Command::Flags, QLatin1StringView("flags"), describeFlagsCommand, readFlags, false, runFlags,
     nullptr},
    {Command::List, QLatin1StringView("list"), describeList, readList, true, runList, nullptr},
    {Command::Check, QLatin1StringView("check"), describeCheck, readCheck, true, runCheck, nullptr},
    {Command::Passwd, QLatin1StringView("passwd"), describePasswd, readPasswd, true, runPasswd,
     "kadd passwd NAME -- PASSWORD"},
    {Command::Set, QLatin1StringView("set"), describeSet, readSet, true, runSet, nullptr},
    {Command::Remove, QLatin1StringView("remove"), describeRemove, readRemove, true, runRemove,
     nullptr},
    {Command::Verify, QLatin1StringView("verify"), describeVerify, readVerify, true, runVerify,
     nullptr},
    {Command::Repair, QLatin1StringView("repair"), describeRepair, readRepair, true, runRepair,
     nullptr},
    {Command::Restore, QLatin1StringView("restore"), describeRestore, readRestore, true, runRestore,
     nullptr},
    {Command::Export, QLatin1StringView("export"), describeExport, readExport, true, runExport,
     nullptr},
};

const QLatin1StringView helpCommand("help");

const CommandEntry *commandNamed(const QString &name)
{
    for (const CommandEntry &entry : commands) {
        if (name == entry.name)
            return &entry;
    }
    return nullptr;
}

std::optional<QString> appDirOption(const QCommandLineParser &parser, const Options &options)
{
    if (!parser.isSet(options.appDir))
        return std::nullopt;
    return parser.value(options.appDir);
}

// One of each name, for finding the command among them.
QList<QCommandLineOption> everyOption(const Options &options)
{
    return {options.female,        options.email,  options.gm,      options.appDir,
            options.dryRun,        options.backup, options.male,    options.generate,
            options.showPasswords, options.json,   options.verbose, options.noBackup,
            options.keep,          options.yes};
}

// The names of the options the command takes, as its own parser knows them.
QStringList optionNamesOf(const CommandEntry &command, const Options &options)
{
    QStringList names{QStringLiteral("help"), QStringLiteral("version")};
    for (const QCommandLineOption &option : everyOption(options)) {
        QCommandLineParser probe;
        command.describe(probe, options);
        const QString name = option.names().constFirst();
        probe.parse({QStringLiteral("kadd"), QStringLiteral("--") + name});
        if (probe.unknownOptionNames().isEmpty())
            names << name;
    }
    return names;
}

// Whether the unknown option stands where the command takes its password, after the command
// and one argument: a password that starts with '-' is taken for an option there.
bool standsForPassword(const QStringList &arguments, const QString &unknown, const Options &options)
{
    const QList<QCommandLineOption> known = everyOption(options);
    int before = 0; // the words that are not options, the command's name first
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &word = arguments.at(i);
        if (word == QLatin1StringView("--"))
            return false;
        if (!word.startsWith(u'-') || word.size() == 1) {
            ++before;
            continue;
        }
        const QString name = word.mid(word.startsWith(QLatin1StringView("--")) ? 2 : 1);
        if (name == unknown)
            return before == 2;
        // An option's value is the next word, unless it came after '='.
        if (std::any_of(known.cbegin(), known.cend(), [&](const QCommandLineOption &option) {
                return !option.valueName().isEmpty() && option.names().contains(name);
            }))
            ++i;
    }
    return false;
}

// After an option the command does not take: the one it was most likely meant as, and how to
// give a password that looks like an option.
QStringList unknownOptionHints(const QStringList &arguments, const QCommandLineParser &parser,
                               const CommandEntry &command, const Options &options)
{
    QStringList hints{commandHelpHint(command.name)};
    const QString unknown = parser.unknownOptionNames().value(0);
    if (unknown.isEmpty())
        return hints;
    if (command.passwordUsage && standsForPassword(arguments, unknown, options))
        hints.prepend(QStringLiteral("A password that starts with '-' goes after --: %1 (or "
                                     "leave it out, and kadd asks for it).")
                          .arg(QLatin1StringView(command.passwordUsage)));
    if (const QString meant = closestName(unknown, optionNamesOf(command, options));
        !meant.isEmpty())
        hints.prepend(QStringLiteral("Did you mean --%1?").arg(meant));
    return hints;
}

// The program's help, or with a name the help of that command.
CommandLine helpFor(const QString &name, const Options &options)
{
    QCommandLineParser parser;
    addStandardOptions(parser);
    if (name.isEmpty()) {
        describeProgram(parser);
        return showText(helpText(parser, true));
    }
    const CommandEntry *command = commandNamed(name);
    if (!command)
        return usageError(QStringLiteral("Unknown command '%1'.").arg(name));
    command->describe(parser, options);
    return showText(helpText(parser, false));
}

// Finds the command wherever the options stand, or the help, version or usage error to show
// instead. The command's own parser then refuses the options that do not belong to it, and
// says how to give a password that looks like an option.
CommandLine findCommand(const QStringList &arguments, const Options &options,
                        const CommandEntry *&command)
{
    QCommandLineParser finder;
    describeProgram(finder);
    addStandardOptions(finder);
    finder.addOptions(everyOption(options));
    const bool parsed = finder.parse(arguments);
    const QStringList positional = finder.positionalArguments();
    const QString name = positional.value(0);
    if (name == helpCommand)
        return helpFor(positional.value(1), options);
    command = commandNamed(name);
    if (command)
        return {};
    if (!parsed)
        return usageError(finder.errorText());
    if (positional.isEmpty()) {
        if (finder.isSet(QStringLiteral("help")))
            return helpFor({}, options);
        if (finder.isSet(QStringLiteral("version")))
            return showText(versionText());
        return usageError(QStringLiteral("No command given."));
    }
    return usageError(QStringLiteral("Unknown command '%1'.").arg(name));
}

} // namespace

QString programHelpHint()
{
    return QStringLiteral("Try 'kadd --help' for more information.");
}

int runParsedCommand(const CommandLine &line)
{
    for (const CommandEntry &entry : commands) {
        if (entry.command == line.command)
            return entry.run(line);
    }
    return ExitUsage;
}

QString exitStatusHelp()
{
    return QStringLiteral(
        "Exit status:\n"
        "  0   done: created, listed, found, changed or removed (--dry-run: would be)\n"
        "  1   add, import: the username already exists (import: only duplicates failed);\n"
        "      check, passwd, set, remove: no such account\n"
        "  2   an entry or a new value was refused by a rule, or a password typed twice\n"
        "      differed\n"
        "  3   the account file could not be read or updated, or holds the account twice;\n"
        "      it was not changed; verify: the file is not sound\n"
        "  4   the account file was changed, but the change may not yet be safe on disk\n"
        "  64  usage error, or the import file cannot be read\n"
        "  74  done, but the output could not all be written (the change is made)\n");
}

CommandLine parseCommandLine(const QStringList &arguments,
                             const std::function<QString()> &programFolder,
                             const QString &environmentFolder)
{
    const Options options;
    // Commonly the command comes first; otherwise it is looked for among the options.
    const CommandEntry *command = arguments.size() > 1 ? commandNamed(arguments.at(1)) : nullptr;
    if (!command) {
        const CommandLine found = findCommand(arguments, options, command);
        if (!command)
            return found;
    }
    const QString helpHint = commandHelpHint(command->name);

    QCommandLineParser parser;
    addStandardOptions(parser);
    command->describe(parser, options);
    if (!parser.parse(arguments))
        return usageError(parser.errorText(),
                          unknownOptionHints(arguments, parser, *command, options));
    if (parser.isSet(QStringLiteral("help")))
        return showText(helpText(parser, false));
    if (parser.isSet(QStringLiteral("version")))
        return showText(versionText());

    CommandLine line;
    line.action = CommandLine::Action::Run;
    line.command = command->command;
    if (const QString error =
            command->read(parser, parser.positionalArguments().mid(1), options, line);
        !error.isEmpty())
        return usageError(error, {helpHint});
    if (!command->needsServerFolder)
        return line;
    const std::optional<QString> appDir = appDirOption(parser, options);
    if (appDir && appDir->isEmpty())
        return usageError(QStringLiteral("--app-dir needs a folder."), {helpHint});
    // Finding the program's own folder resolves every link on its path: skip it when unused.
    const QString ownFolder = appDir ? QString() : programFolder();
    ServerLocation server = locateServerFolder(appDir, ownFolder, environmentFolder);
    if (server.source == ServerFolderSource::None)
        server = locateServerFolderAbove(QDir::currentPath());
    if (server.source == ServerFolderSource::None)
        return usageError(
            QStringLiteral("no server folder: %1 is neither beside kadd in %2 nor in the folder "
                           "above, nor in the current folder %3 or any folder above it. Name the "
                           "server folder with --app-dir DIR or the environment variable %4, run "
                           "kadd inside the server folder, or put kadd in the server folder (or "
                           "in a folder of its own inside it).")
                .arg(QStringLiteral("kData/kPlayer/kAdd.txt"), QDir::toNativeSeparators(ownFolder),
                     QDir::toNativeSeparators(QDir::currentPath()), serverFolderVariable),
            {helpHint});
    setServerLocationInUse(server);
    line.applicationFolder = server.path;
    return line;
}
