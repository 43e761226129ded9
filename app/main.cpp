#include "app/ServerFolderChooser.h"
#include "core/AuditTrail.h"
#include "core/FileSizeLimit.h"
#include "core/ServerLocation.h"
#include "ui/AccountsWindow.h"
#include "ui/frmKeltoAccountCreator.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int exitUsage = 64; // as kadd

// Without a display Qt aborts with a page of plugin diagnostics; an operator on a bare server
// console deserves one line saying what is wrong.
bool displayAvailable()
{
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    const auto isSet = [](const char *name) {
        const char *value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    return isSet("QT_QPA_PLATFORM") || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

void print(FILE *stream, const QString &text)
{
    std::fputs(qPrintable(text), stream);
}

struct Options
{
    QCommandLineOption appDir{
        QStringLiteral("app-dir"),
        QStringLiteral("The server folder that holds kData/kPlayer/kAdd.txt. Without it, the "
                       "program's own folder when it holds that file, else the folder above it "
                       "when that does, else the folder that KELTO_APP_DIR names, else the folder "
                       "chosen last time; failing all of them the program asks for one."),
        QStringLiteral("DIR")};
    QCommandLineOption accounts{
        QStringLiteral("accounts"),
        QStringLiteral("Open only the Accounts window, to look up, change and remove the "
                       "accounts of the server folder.")};
};

// kelto-accounts.exe on Windows is this program built to open the Accounts window by default,
// so that it can be started by a double-click.
#ifdef KELTO_ACCOUNTS_BY_DEFAULT
constexpr bool accountsByDefault = true;
#else
constexpr bool accountsByDefault = false;
#endif

void describe(QCommandLineParser &parser, const Options &options)
{
    parser.setApplicationDescription(QStringLiteral(
        "Adds player accounts to a game server's account file, kData/kPlayer/kAdd.txt below "
        "the server folder, one account at a time through a window."));
    parser.addOption(options.appDir);
    parser.addOption(options.accounts);
    parser.addHelpOption();
    parser.addVersionOption();
}

QString helpText(const QCommandLineParser &parser)
{
    // The usage line names the program as it was started, often a long path.
    QString text = parser.helpText();
    text.replace(QStringLiteral("Usage: ") + QCoreApplication::arguments().constFirst(),
                 QStringLiteral("Usage: kelto-account-creator"));
    return text;
}

int usageError(const QString &message)
{
    print(stderr, QStringLiteral("kelto-account-creator: %1\nTry 'kelto-account-creator "
                                 "--help' for more information.\n")
                      .arg(message));
    return exitUsage;
}

} // namespace

int main(int argc, char *argv[])
{
    letWritesFailBeyondFileSizeLimit();
    QCoreApplication::setApplicationName(QStringLiteral("kelto-account-creator"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELTO_VERSION));
    const Options options;
    QCommandLineParser parser;
    describe(parser, options);

    // Help and version need no display, so they are answered before the windowing system is
    // touched; Qt's own options (-platform, -style) are known only once QApplication has taken
    // them out, so other errors wait until then.
    QStringList rawArguments;
    for (int i = 0; i < argc; ++i)
        rawArguments << QString::fromLocal8Bit(argv[i]);
    parser.parse(rawArguments);
    const bool help =
        parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"));
    if (help || parser.isSet(QStringLiteral("version"))) {
        const QCoreApplication core(argc, argv);
        if (!parser.parse(QCoreApplication::arguments()))
            return usageError(parser.errorText());
        print(stdout, help ? helpText(parser)
                           : QStringLiteral("kelto-account-creator %1\n")
                                 .arg(QCoreApplication::applicationVersion()));
        return EXIT_SUCCESS;
    }

    if (!displayAvailable()) {
        std::fputs("kelto-account-creator: no graphical display found (DISPLAY and "
                   "WAYLAND_DISPLAY are unset); start it from a desktop session.\n",
                   stderr);
        return 2;
    }

    QApplication app(argc, argv);
    // Told once, at quit: a window must not stop the operator for the log's sake.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [] {
        if (const QString lost = finishAuditTrail(); !lost.isEmpty())
            print(stderr, QStringLiteral("kelto-account-creator: %1\n").arg(lost));
    });
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument '%1'.")
                              .arg(parser.positionalArguments().constFirst()));
    std::optional<QString> appDir;
    if (parser.isSet(options.appDir)) {
        appDir = parser.value(options.appDir);
        if (appDir->isEmpty())
            return usageError(QStringLiteral("--app-dir needs a folder."));
    }

    ServerLocation server = locateServerFolder(
        appDir, QCoreApplication::applicationDirPath(),
        qEnvironmentVariable(qPrintable(serverFolderVariable)), savedServerFolder);
    if (server.source == ServerFolderSource::None) {
        const QString why = QStringLiteral("No server folder was found beside the program, in %1 "
                                           "or chosen before: choose the game server's folder.")
                                .arg(serverFolderVariable);
        server = {ServerFolderSource::SavedChoice, chooseServerFolder(why, QDir::homePath())};
        // Without a server folder there is nothing to do; a script that started the program
        // must not take that for success.
        if (server.path.isEmpty())
            return EXIT_FAILURE;
    }
    setServerLocationInUse(server);

    if (accountsByDefault || parser.isSet(options.accounts)) {
        AccountsWindow accounts(server.path);
        accounts.show();
        return app.exec();
    }

    frmKeltoAccountCreator window(server.path);
    window.setServerFolderChooser([](QWidget *parent, const QString &current) {
        const QString folder =
            chooseServerFolder(QStringLiteral("Choose the server folder to use instead of %1.")
                                   .arg(QDir::toNativeSeparators(current)),
                               current, parent);
        if (!folder.isEmpty())
            setServerLocationInUse({ServerFolderSource::SavedChoice, folder});
        return folder;
    });
    window.show();
    return app.exec();
}
