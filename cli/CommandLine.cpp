#include "CommandLine.h"

#include "ExitStatus.h"

#include <GmFlags.h>
#include <ServerLocation.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

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
                       "folder of kadd itself when it holds that file, and otherwise the folder "
                       "that KELTO_APP_DIR names)."),
        QStringLiteral("DIR")};
    QCommandLineOption dryRun{QStringLiteral("dry-run"),
                              QStringLiteral("Check every line and report what would be added, "
                                             "but change nothing.")};
};

CommandLine usageError(const QString &message)
{
    CommandLine line;
    line.action = CommandLine::Action::UsageError;
    line.text = message;
    return line;
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
    return QCoreApplication::applicationName() + u' ' + QCoreApplication::applicationVersion();
}

void describeProgram(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Adds player accounts to a game server's account file, "
                       "kData/kPlayer/kAdd.txt below the server folder.\n\n"
                       "The server folder is the one given by --app-dir DIR, else the folder of "
                       "kadd when it holds kData/kPlayer/kAdd.txt, else the one named by the "
                       "environment variable KELTO_APP_DIR.\n\n"
                       "Commands:\n"
                       "  add USERNAME [PASSWORD]  Add one account.\n"
                       "  import FILE|-            Add many accounts in one update, all or none.\n"
                       "  flags [TOTAL]            Show the GM flags, or those a total holds.\n\n"
                       "Run 'kadd COMMAND --help' for the options of a command."));
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("add, import or flags."),
                                 QStringLiteral("COMMAND"));
}

void describeAdd(QCommandLineParser &parser, const Options &options)
{
    parser.setApplicationDescription(QStringLiteral(
        "Adds one account to the account file, unless the file already holds the username "
        "in any letter case. Without PASSWORD the password is read as one line from standard "
        "input, without echo on a terminal, so that it shows neither in the process list nor "
        "in the shell history. Put -- before a password that starts with '-'."));
    parser.addPositionalArgument(QStringLiteral("add"), QStringLiteral("Add one account."));
    parser.addPositionalArgument(QStringLiteral("USERNAME"),
                                 QStringLiteral("4 to 16 characters, no spaces or commas."));
    parser.addPositionalArgument(QStringLiteral("PASSWORD"),
                                 QStringLiteral("4 to 16 characters, no spaces or commas."),
                                 QStringLiteral("[PASSWORD]"));
    parser.addOptions({options.female, options.email, options.gm, options.appDir});
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
    parser.addPositionalArgument(QStringLiteral("import"),
                                 QStringLiteral("Add many accounts, all or none."));
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("The accounts to add; - reads standard input."));
    parser.addOptions({options.dryRun, options.appDir});
}

void describeFlags(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Shows the GM flag table (value, name, caption), or with TOTAL the "
                       "names of the flags that the total holds."));
    parser.addPositionalArgument(QStringLiteral("flags"), QStringLiteral("Show the GM flags."));
    parser.addPositionalArgument(QStringLiteral("TOTAL"), gmSyntax + u'.',
                                 QStringLiteral("[TOTAL]"));
}

void addStandardOptions(QCommandLineParser &parser)
{
    parser.addHelpOption();
    parser.addVersionOption();
}

QString helpText(const QCommandLineParser &parser, const QStringList &arguments)
{
    // The usage line names the program as it was started, often a long path.
    QString text = parser.helpText();
    if (!arguments.isEmpty())
        text.replace(QStringLiteral("Usage: ") + arguments.constFirst(),
                     QStringLiteral("Usage: kadd"));
    return text + u'\n' + exitStatusHelp();
}

std::optional<Command> commandNamed(const QString &name)
{
    if (name == QLatin1String("add"))
        return Command::Add;
    if (name == QLatin1String("import"))
        return Command::Import;
    if (name == QLatin1String("flags"))
        return Command::Flags;
    return std::nullopt;
}

std::optional<QString> appDirOption(const QCommandLineParser &parser, const Options &options)
{
    if (!parser.isSet(options.appDir))
        return std::nullopt;
    return parser.value(options.appDir);
}

} // namespace

QString exitStatusHelp()
{
    return QStringLiteral("Exit status:\n"
                          "  0   created (import: all accounts; --dry-run: all would be)\n"
                          "  1   the username already exists (import: only duplicates failed)\n"
                          "  2   an entry was refused by a rule\n"
                          "  3   the account file could not be read or updated\n"
                          "  64  usage error, or the import file cannot be read\n");
}

CommandLine parseCommandLine(const QStringList &arguments, const QString &programFolder,
                             const QString &environmentFolder)
{
    const Options options;

    // First find the command, wherever the options stand; the command's own parser then
    // refuses the options that do not belong to it.
    QCommandLineParser finder;
    describeProgram(finder);
    addStandardOptions(finder);
    finder.addOptions({options.female, options.email, options.gm, options.appDir, options.dryRun});
    if (!finder.parse(arguments))
        return usageError(finder.errorText());
    if (finder.positionalArguments().isEmpty()) {
        if (finder.isSet(QStringLiteral("help"))) {
            QCommandLineParser program;
            describeProgram(program);
            addStandardOptions(program);
            return showText(helpText(program, arguments));
        }
        if (finder.isSet(QStringLiteral("version")))
            return showText(versionText());
        return usageError(QStringLiteral("No command given."));
    }
    const QString name = finder.positionalArguments().constFirst();
    const std::optional<Command> command = commandNamed(name);
    if (!command)
        return usageError(QStringLiteral("Unknown command '%1'.").arg(name));

    QCommandLineParser parser;
    addStandardOptions(parser);
    switch (*command) {
    case Command::Add:
        describeAdd(parser, options);
        break;
    case Command::Import:
        describeImport(parser, options);
        break;
    case Command::Flags:
        describeFlags(parser);
        break;
    }
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        return showText(helpText(parser, arguments));
    if (parser.isSet(QStringLiteral("version")))
        return showText(versionText());

    const QStringList values = parser.positionalArguments().mid(1);
    CommandLine line;
    line.action = CommandLine::Action::Run;
    line.command = *command;
    switch (*command) {
    case Command::Add: {
        if (values.isEmpty())
            return usageError(QStringLiteral("add needs a USERNAME."));
        if (values.size() > 2)
            return usageError(QStringLiteral("add takes a USERNAME and a PASSWORD; '%1' is one "
                                             "argument too many.")
                                  .arg(values.at(2)));
        line.username = values.at(0);
        if (values.size() == 2)
            line.password = values.at(1);
        line.female = parser.isSet(options.female);
        line.email = parser.value(options.email);
        if (parser.isSet(options.gm)) {
            const auto total = parseGmFlags(parser.value(options.gm));
            if (!total)
                return usageError(
                    QStringLiteral("--gm '%1' is not %2.").arg(parser.value(options.gm), gmSyntax));
            line.gmFlags = *total;
        }
        break;
    }
    case Command::Import:
        if (values.size() != 1)
            return usageError(
                QStringLiteral("import takes exactly one FILE (or - for standard input)."));
        line.importFile = values.at(0);
        line.dryRun = parser.isSet(options.dryRun);
        break;
    case Command::Flags:
        if (values.size() > 1)
            return usageError(QStringLiteral("flags takes at most one TOTAL."));
        if (values.size() == 1) {
            line.total = parseGmFlags(values.at(0));
            if (!line.total)
                return usageError(QStringLiteral("'%1' is not %2.").arg(values.at(0), gmSyntax));
        }
        return line;
    }
    const std::optional<QString> appDir = appDirOption(parser, options);
    if (appDir && appDir->isEmpty())
        return usageError(QStringLiteral("--app-dir needs a folder."));
    const ServerLocation server = locateServerFolder(appDir, programFolder, environmentFolder);
    if (server.source == ServerFolderSource::None)
        return usageError(
            QStringLiteral("no server folder: %1 is not beside kadd in %2. Name the server "
                           "folder with --app-dir DIR or the environment variable %3, or put "
                           "kadd in the server folder.")
                .arg(QStringLiteral("kData/kPlayer/kAdd.txt"),
                     QDir::toNativeSeparators(programFolder), serverFolderVariable));
    line.applicationFolder = server.path;
    return line;
}
