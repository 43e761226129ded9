#include "tests/support/KaddProcess.h"
#include "tests/support/ServerFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif
#ifdef Q_OS_LINUX
#include <QElapsedTimer>
#include <QStandardPaths>

#include <csignal>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace {

const QByteArray existing = "Alice,secret,1,none,0\r\nCarl,secret,1,none,0\r\n";

// Options may stand before the command, which lets a row end with "--" and an argument.
QStringList inServer(const QStringList &arguments, const ServerFolder &server)
{
    return QStringList{QStringLiteral("--app-dir"), server.path()} + arguments;
}

// A copy of kadd in folder, so that it takes that folder for its own.
QString copyOfKadd(const QString &folder)
{
    const QFileInfo built(builtProgram(KADD_PATH));
    const QString copy = folder + u'/' + built.fileName();
    if (!QFile::copy(built.filePath(), copy))
        return {};
#ifdef Q_OS_WIN
    // The copy finds the DLLs it needs where the build put them.
    qputenv("PATH",
            QDir::toNativeSeparators(built.absolutePath()).toLocal8Bit() + ';' + qgetenv("PATH"));
#endif
    return copy;
}

#ifdef Q_OS_LINUX
// Collects what the terminal shows until done() holds or the time is up.
bool readUntil(int terminal, QByteArray &shown, const std::function<bool()> &done,
               int milliseconds = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        pollfd ready{terminal, POLLIN, 0};
        if (timer.hasExpired(milliseconds))
            return false;
        if (::poll(&ready, 1, 50) > 0) {
            char chunk[512];
            const ssize_t got = ::read(terminal, chunk, sizeof chunk);
            if (got <= 0)
                return false;
            shown.append(chunk, got);
        }
    }
    return true;
}
#endif

} // namespace

class KaddAddTest : public QObject
{
    Q_OBJECT

private slots:
    void created_data();
    void created();
    void notCreated_data();
    void notCreated();
    void missingAccountFile();
    void generatedPasswordIsStoredAndShownOnce();
    void defaultFolderIsTheProgramFolder_data();
    void defaultFolderIsTheProgramFolder();
    void fileSizeLimitIsAFileError();
    void environmentFolder_data();
    void environmentFolder();
    void flags_data();
    void flags();
    void helpAndVersionNameTheProgram_data();
    void helpAndVersionNameTheProgram();
    void librariesNeverComeFromTheWorkingFolder();
    void passwordStaysHiddenAfterStopAndContinue();
    void echoComesBackWhenASignalEndsThePrompt_data();
    void echoComesBackWhenASignalEndsThePrompt();
};

void KaddAddTest::created_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("record");

    QTest::newRow("male, no e-mail")
        << QStringList{"add", "bobby", "pw12"} << QByteArray() << QByteArray("bobby,pw12,1,none,0");
    QTest::newRow("female with e-mail")
        << QStringList{"add", "carla", "pw12", "--female", "--email", "c@x.org"} << QByteArray()
        << QByteArray("carla,pw12,0,c@x.org,0");
    QTest::newRow("gm by names, any case")
        << QStringList{"add", "gmone", "pw12", "--gm", "warp+WHOIS"} << QByteArray()
        << QByteArray("gmone,pw12,1,none,384");
    QTest::newRow("gm by a name with a different caption")
        << QStringList{"add", "gmtwo", "pw12", "--gm", "GotoSummonBanish+CHANGEWORLD"}
        << QByteArray() << QByteArray("gmtwo,pw12,1,none,33280");
    QTest::newRow("gm by number") << QStringList{"add", "gmall", "pw12", "--gm", "65535"}
                                  << QByteArray() << QByteArray("gmall,pw12,1,none,65535");
    QTest::newRow("password from input") << QStringList{"add", "piped"} << QByteArray("fromstdin\n")
                                         << QByteArray("piped,fromstdin,1,none,0");
    QTest::newRow("password from input with CR LF, no more lines read")
        << QStringList{"add", "piped"} << QByteArray("pw34\r\nnext line\n")
        << QByteArray("piped,pw34,1,none,0");
    QTest::newRow("password from input after a byte-order mark")
        << QStringList{"add", "piped"} << QByteArray("\xEF\xBB\xBFpw34\n")
        << QByteArray("piped,pw34,1,none,0");
    QTest::newRow("password starting with a dash")
        << QStringList{"add", "dashy", "--", "-pw12"} << QByteArray()
        << QByteArray("dashy,-pw12,1,none,0");
}

void KaddAddTest::created()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, record);
    ServerFolder server(existing);

    const KaddResult result = runKadd(inServer(arguments, server), server.workFolder(), input);
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(server.accounts(), existing + record + "\r\n");
    QCOMPARE(result.out, "Created " + record.left(record.indexOf(',')) + '\n');
    QVERIFY(!QFileInfo::exists(server.tempFile()));
}

void KaddAddTest::notCreated_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    QTest::newRow("duplicate in another case")
        << QStringList{"add", "ALICE", "pw12"} << QByteArray() << 1
        << "Username exist: Alice is already on line 1 of the account file\n";
    QTest::newRow("duplicate on a later line")
        << QStringList{"add", "cARL", "pw12"} << QByteArray() << 1
        << "Username exist: Carl is already on line 2 of the account file\n";

    const QByteArray none;
    QTest::newRow("empty username") << QStringList{"add", "", "pw12"} << none << 2
                                    << "Username is required: You must enter a user name\n";
    QTest::newRow("no password on input") << QStringList{"add", "bobby"} << none << 2
                                          << "Password is required: You must enter a password\n";
    QTest::newRow("username too short") << QStringList{"add", "bob", "pw12"} << none << 2
                                        << "Invalid Length: User name must be 4 to 16 characters\n";
    QTest::newRow("password too long")
        << QStringList{"add", "bobby", "12345678901234567"} << none << 2
        << "Invalid Length: Password must be 4 to 16 characters\n";
    QTest::newRow("space in username") << QStringList{"add", "bo bby", "pw12"} << none << 2
                                       << "No Spaces: No spaces in User Name\n";
    QTest::newRow("space in password") << QStringList{"add", "bobby", "pw 12"} << none << 2
                                       << "No Spaces: No spaces in Password\n";
    QTest::newRow("comma in username") << QStringList{"add", "bob,by", "pw12"} << none << 2
                                       << "Invalid Character: No commas in User Name\n";
    QTest::newRow("comma in e-mail") << QStringList{"add", "bobby", "pw12", "--email", "a,b"}
                                     << none << 2 << "Invalid Character: No commas in Email\n";
    QTest::newRow("control character in password")
        << QStringList{"add", "bobby", "pw\t12"} << none << 2
        << "Invalid Character: Password contains a character that cannot be stored\n";
    // Characters that end a line for some readers or drive the terminal kadd echoes to.
    QTest::newRow("terminal escape U+009B in username")
        << QStringList{"add", QStringLiteral("bob\u009B2Jby"), "pw12"} << none << 2
        << "Invalid Character: User Name contains a character that cannot be stored\n";
    QTest::newRow("next line U+0085 in password")
        << QStringList{"add", "bobby", QStringLiteral("pw\u008512")} << none << 2
        << "Invalid Character: Password contains a character that cannot be stored\n";
#ifndef Q_OS_WIN
    // Under Wine, where the Windows suites run, the mark at the start of an argument does not
    // reach kadd; the rule itself is tested on every system by tst_validation.
    QTest::newRow("byte-order mark at the start of an argument")
        << QStringList{"add", "bobby", QStringLiteral("\uFEFFpw12")} << none << 2
        << "Invalid Character: Password contains a character that cannot be stored\n";
#endif
    QTest::newRow("line separator U+2028 in e-mail")
        << QStringList{"add", "bobby", "pw12", "--email", QStringLiteral("a@b\u2028x")} << none << 2
        << "Invalid Character: Email contains a character that cannot be stored\n";

    QTest::newRow("no command") << QStringList{} << none << 64 << "kadd: Try 'kadd --help'";
    QTest::newRow("unknown command")
        << QStringList{"create", "bobby"} << none << 64 << "kadd: Try 'kadd --help'";
    const QString usage = QStringLiteral("kadd: Try 'kadd add --help'");
    QTest::newRow("no username") << QStringList{"add"} << none << 64 << usage;
    QTest::newRow("one argument too many")
        << QStringList{"add", "bobby", "pw12", "extra"} << none << 64 << usage;
    QTest::newRow("unknown option")
        << QStringList{"add", "bobby", "pw12", "--mail"} << none << 64 << usage;
    QTest::newRow("password that looks like an option")
        << QStringList{"add", "bobby", "-pw12"} << none << 64 << "goes after --: kadd add";
    QTest::newRow("option of another command")
        << QStringList{"add", "bobby", "pw12", "--json"} << none << 64 << usage;
    QTest::newRow("bad flag name") << QStringList{"add", "bobby", "pw12", "--gm", "WARP+FLY"}
                                   << none << 64 << "--gm 'WARP+FLY' is not";
    QTest::newRow("flag value, not name")
        << QStringList{"add", "bobby", "pw12", "--gm", "128+256"} << none << 64 << usage;
    QTest::newRow("gm total too big")
        << QStringList{"add", "bobby", "pw12", "--gm", "65536"} << none << 64 << usage;
    QTest::newRow("gm total negative")
        << QStringList{"add", "bobby", "pw12", "--gm", "-1"} << none << 64 << usage;
    QTest::newRow("empty gm") << QStringList{"add", "bobby", "pw12", "--gm", ""} << none << 64
                              << usage;
    QTest::newRow("terminal escape in a command")
        << QStringList{"\x1b[2Jx"} << none << 64 << "Unknown command '\\x{1b}[2Jx'";
    QTest::newRow("password line without an end")
        << QStringList{"add", "bobby"} << QByteArray(100000, 'a') << 2
        << "Invalid Length: Password must be 4 to 16 characters\n";
#ifndef Q_OS_WIN
    // Read as text they would be another password than the one typed.
    QTest::newRow("password bytes that are not UTF-8")
        << QStringList{"add", "bobby"} << QByteArray("pw\xE9\xE9xx\n") << 2
        << "Invalid Character: Password contains a character that cannot be stored\n";
#endif
}

void KaddAddTest::notCreated()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    ServerFolder server(existing);

    const KaddResult result = runKadd(inServer(arguments, server), server.workFolder(), input);
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(server.accounts(), existing);
    // A refusal prints the core's message, named as kadd's; a usage error adds the pointer to
    // --help.
    if (exitCode == 64)
        QVERIFY2(result.err.contains(message.toUtf8()), result.err.constData());
    else
        QVERIFY2(result.err.startsWith("kadd: " + message.toUtf8()), result.err.constData());
    QVERIFY(result.out.isEmpty());
    QVERIFY(!QFileInfo::exists(server.tempFile()));
}

void KaddAddTest::missingAccountFile()
{
    ServerFolder server;
    QVERIFY(QFile::remove(server.accountFile()));

    const KaddResult result =
        runKadd(inServer({"add", "bobby", "pw12"}, server), server.workFolder());
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 3);
    QVERIFY2(result.err.startsWith("kadd: Account File Error: "), result.err.constData());
    QVERIFY(result.err.contains(QDir::toNativeSeparators(server.accountFile()).toUtf8()));
    QVERIFY2(result.err.contains("named by --app-dir"), result.err.constData());
    QVERIFY(!QFileInfo::exists(server.accountFile()));
}

// Under "ulimit -f" a write past the limit raises SIGXFSZ, which would kill kadd midway.
void KaddAddTest::generatedPasswordIsStoredAndShownOnce()
{
    ServerFolder server(existing);
    const KaddResult result =
        runKadd(inServer({"add", "bobby", "--generate"}, server), server.workFolder(), "unread\n");
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 0);
    const QList<QByteArray> lines = result.out.split('\n');
    QCOMPARE(lines.value(0), "Created bobby");
    QVERIFY2(lines.value(1).startsWith("Password: "), result.out.constData());
    const QByteArray password = lines.value(1).mid(10);
    QCOMPARE(password.size(), 12);
    QCOMPARE(server.accounts(), existing + "bobby," + password + ",1,none,0\r\n");
}

void KaddAddTest::fileSizeLimitIsAFileError()
{
#ifdef Q_OS_UNIX
    const QByteArray accounts = existing.repeated(400);
    ServerFolder server(accounts);
    QProcess kadd;
    kadd.setWorkingDirectory(server.workFolder());
    kadd.setChildProcessModifier([] {
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    kadd.start(QStringLiteral(KADD_PATH), inServer({"add", "bobby", "pw12"}, server));
    QVERIFY(kadd.waitForFinished(30000));
    QCOMPARE(kadd.exitStatus(), QProcess::NormalExit);
    QCOMPARE(kadd.exitCode(), 3);
    QVERIFY(kadd.readAllStandardError().contains(
        QDir::toNativeSeparators(server.accountFile()).toUtf8()));
    QCOMPARE(server.accounts(), accounts);
    QCOMPARE(QDir(server.workFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());
    QCOMPARE(QDir(server.path() + "/kData/kPlayer").entryList(QDir::Files),
             QStringList{"kAdd.txt"});
#else
    QSKIP("file-size limits are a POSIX matter");
#endif
}

void KaddAddTest::defaultFolderIsTheProgramFolder_data()
{
    QTest::addColumn<QString>("subfolder");

    QTest::newRow("beside kData") << QString();
    QTest::newRow("in a folder of its own") << QStringLiteral("KeltoAccountCreator");
}

void KaddAddTest::defaultFolderIsTheProgramFolder()
{
    QFETCH(QString, subfolder);
    ServerFolder server(existing);
    QVERIFY(QDir(server.path()).mkpath(subfolder.isEmpty() ? QStringLiteral(".") : subfolder));
    const QString copy = copyOfKadd(QDir(server.path()).filePath(subfolder));
    QVERIFY(!copy.isEmpty());

    const KaddResult result =
        runKadd({"add", "bobby", "pw12"}, server.workFolder(), QByteArray(), copy);
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(server.accounts(), existing + "bobby,pw12,1,none,0\r\n");
}

void KaddAddTest::environmentFolder_data()
{
    QTest::addColumn<bool>("kaddInServer");
    QTest::addColumn<bool>("variableSet");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("KELTO_APP_DIR when kadd's folder is bare") << false << true << 0;
    QTest::newRow("kadd's own server folder beats KELTO_APP_DIR") << true << true << 0;
    QTest::newRow("no server folder anywhere") << false << false << 64;
}

void KaddAddTest::environmentFolder()
{
    QFETCH(bool, kaddInServer);
    QFETCH(bool, variableSet);
    QFETCH(int, exitCode);
    ServerFolder own(existing);
    ServerFolder named(existing);
    QTemporaryDir bare; // the build folder may hold a demo server folder beside kadd
    const QString program = copyOfKadd(kaddInServer ? own.path() : bare.path());
    QVERIFY(!program.isEmpty());
    if (variableSet)
        qputenv("KELTO_APP_DIR", named.path().toLocal8Bit());
    const KaddResult result =
        runKadd({"add", "bobby", "pw12"}, own.workFolder(), QByteArray(), program);
    qunsetenv("KELTO_APP_DIR");

    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, exitCode);
    const QByteArray added = existing + "bobby,pw12,1,none,0\r\n";
    QCOMPARE(own.accounts(), kaddInServer ? added : existing);
    QCOMPARE(named.accounts(), exitCode == 0 && !kaddInServer ? added : existing);
    if (exitCode == 64) {
        for (const char *way : {"--app-dir", "KELTO_APP_DIR", "put kadd in the server folder"})
            QVERIFY2(result.err.contains(way), result.err.constData());
    }
}

void KaddAddTest::flags_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");

    QTest::newRow("384") << QStringList{"flags", "384"} << 0 << QByteArray("WARP\nWHOIS\n");
    QTest::newRow("65535") << QStringList{"flags", "65535"} << 0
                           << QByteArray("BROADCAST\nITEMSUMMON\nMONSTERSUMMON\nCHANGESTATSKILL\n"
                                         "CHANGEOPTION\nSAVERETURN\nCHANGELEVEL\nWARP\nWHOIS\n"
                                         "GOTOSUMMONBANISH\nKILLDIEALIVE\nCHANGEJOB\n"
                                         "CHANGECOLORSTYLE\nAUTORAWUNIT\nREFINE\nCHANGEWORLD\n");
    QTest::newRow("0") << QStringList{"flags", "0"} << 0 << QByteArray();
    QTest::newRow("65536") << QStringList{"flags", "65536"} << 64 << QByteArray();
    QTest::newRow("not a number") << QStringList{"flags", "0x180"} << 64 << QByteArray();
}

void KaddAddTest::flags()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);

    const KaddResult result = runKadd(arguments, QDir::tempPath());
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(result.out, out);
}

void KaddAddTest::helpAndVersionNameTheProgram_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("firstLine");

    QTest::newRow("--help") << QStringList{"--help"} << QByteArray("Usage: kadd [options] COMMAND");
    QTest::newRow("add --help") << QStringList{"add", "--help"}
                                << QByteArray("Usage: kadd [options] add USERNAME [PASSWORD]");
    QTest::newRow("--version") << QStringList{"--version"} << QByteArray("kadd " KELTO_VERSION);
}

// However kadd was started (here by its full path), it calls itself kadd, and it offers only
// options that work.
void KaddAddTest::helpAndVersionNameTheProgram()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, firstLine);

    const KaddResult result = runKadd(arguments, QDir::tempPath());
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out.left(result.out.indexOf('\n')), firstLine);
    // Qt offers it for the options of an application object, which kadd has not.
    QVERIFY(!result.out.contains("--help-all"));
}

// A hostile working folder may hold files named like the libraries kadd loads: the loader must
// never look there (an empty RPATH entry means the working folder).
void KaddAddTest::librariesNeverComeFromTheWorkingFolder()
{
#ifndef Q_OS_LINUX
    QSKIP("Library search paths are an ELF matter");
#endif
    QTemporaryDir working;
    for (const char *library :
         {"libQt6Core.so.6", "libstdc++.so.6", "libgcc_s.so.1", "libc.so.6"}) {
        QFile planted(working.filePath(QString::fromLatin1(library)));
        QVERIFY(planted.open(QIODevice::WriteOnly) && planted.write("not a library") > 0);
    }
    const KaddResult result = runKadd({"--version"}, working.path());
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 0);
}

// Ctrl-Z at the password prompt, then fg: the shell turned echo on meanwhile, and the rest of
// the password must still not show.
void KaddAddTest::passwordStaysHiddenAfterStopAndContinue()
{
#ifndef Q_OS_LINUX
    QSKIP("Job control is a matter of Unix terminals");
#else
    const QString bash = QStandardPaths::findExecutable(QStringLiteral("bash"));
    if (bash.isEmpty())
        QSKIP("bash is not installed");
    ServerFolder server(existing);
    const QByteArray command = "'" + QFile::encodeName(builtProgram(KADD_PATH)) +
                               "' add zelda --app-dir '" + QFile::encodeName(server.path()) + "'\n";
    const QByteArray shell = QFile::encodeName(bash);
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        ::setenv("PS1", "$ ", 1);
        ::execl(shell.constData(), shell.constData(), "--norc", "--noprofile", "-i", nullptr);
        ::_exit(127);
    }
    QVERIFY(child > 0);
    const auto echoing = [terminal] {
        termios modes{};
        return ::tcgetattr(terminal, &modes) == 0 && (modes.c_lflag & ECHO);
    };
    QByteArray shown;
    const auto showing = [&shown](const char *text) {
        return [&shown, text] {
            return shown.contains(text);
        };
    };
    QVERIFY(::write(terminal, command.constData(), size_t(command.size())) > 0);
    QVERIFY(readUntil(terminal, shown, showing("Password for zelda: ")));
    QVERIFY(::write(terminal, "\x1a", 1) == 1);
    QVERIFY2(readUntil(terminal, shown, showing("Stopped")), shown.constData());
    shown.clear();
    QVERIFY(::write(terminal, "fg\n", 3) == 3);
    QVERIFY(readUntil(terminal, shown, showing("zelda")));
    // The shell sets the terminal up for the job before it continues it; kadd then turns echo
    // off again.
    readUntil(
        terminal, shown, [] { return false; }, 300);
    readUntil(
        terminal, shown, [&] { return !echoing(); }, 2000);
    QVERIFY(::write(terminal, "secret12\n", 9) == 9);
    QVERIFY2(readUntil(terminal, shown, showing("Retype password: ")), shown.constData());
    QVERIFY(::write(terminal, "secret12\n", 9) == 9);
    QVERIFY2(readUntil(terminal, shown, showing("Created zelda")), shown.constData());
    QVERIFY2(!shown.contains("secret12"), shown.constData());
    QVERIFY(::write(terminal, "exit\n", 5) == 5);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(terminal);
    QVERIFY(server.accounts().contains("zelda,secret12,1,none,0"));
#endif
}

void KaddAddTest::echoComesBackWhenASignalEndsThePrompt_data()
{
#ifndef Q_OS_LINUX
    QSKIP("signals and pseudo-terminals are Unix matters");
#else
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGUSR1") << SIGUSR1;
    QTest::newRow("SIGALRM") << SIGALRM;
#endif
}

// Not only Ctrl-C: any signal that ends kadd at the prompt must leave the terminal echoing.
void KaddAddTest::echoComesBackWhenASignalEndsThePrompt()
{
#ifdef Q_OS_LINUX
    QFETCH(int, signalNumber);
    ServerFolder server(existing);
    const QByteArray program = QFile::encodeName(builtProgram(KADD_PATH));
    const QByteArray folder = QFile::encodeName(server.path());
    int terminal = -1;
    int kaddSide = -1;
    QVERIFY(::openpty(&terminal, &kaddSide, nullptr, nullptr, nullptr) == 0);
    const auto closeBoth = qScopeGuard([&] {
        ::close(terminal);
        ::close(kaddSide);
    });
    const pid_t child = ::fork();
    if (child == 0) {
        ::setsid();
        ::ioctl(kaddSide, TIOCSCTTY, 0);
        for (int stream = 0; stream < 3; ++stream)
            ::dup2(kaddSide, stream);
        ::signal(signalNumber, SIG_DFL);
        ::execl(program.constData(), program.constData(), "add", "zelda", "--app-dir",
                folder.constData(), nullptr);
        ::_exit(127);
    }
    QVERIFY(child > 0);
    const auto echoing = [&] {
        termios modes{};
        return ::tcgetattr(kaddSide, &modes) == 0 && (modes.c_lflag & ECHO);
    };
    QByteArray shown;
    QVERIFY(readUntil(terminal, shown, [&] { return shown.contains("Password for zelda: "); }));
    QVERIFY(readUntil(
        terminal, shown, [&] { return !echoing(); }, 2000));
    QCOMPARE(::kill(child, signalNumber), 0);
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFSIGNALED(status));
    QCOMPARE(WTERMSIG(status), signalNumber);
    QVERIFY(echoing());
#endif
}

QTEST_GUILESS_MAIN(KaddAddTest)
#include "tst_kadd_add.moc"
