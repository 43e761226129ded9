#include "tests/support/KaddProcess.h"
#include "tests/support/ServerFolder.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

// Mixed line ends, a byte-order mark, a line without a comma and a last line without an end:
// every line an edit does not touch must come out as an add would copy it.
const QByteArray existing = "\xEF\xBB\xBF"
                            "Alice,secret,1,none,0\r\n"
                            "bob,pw12,0,b@x.org,384\n"
                            "nocomma\r"
                            "carol,pw34,1,none,0";

QByteArray fileWith(const QByteArray &alice, const QByteArray &bob, const QByteArray &carol)
{
    QByteArray bytes = "\xEF\xBB\xBF";
    for (const QByteArray &line : {alice, bob, QByteArray("nocomma"), carol}) {
        if (!line.isEmpty())
            bytes += line + "\r\n";
    }
    return bytes;
}

const QByteArray alice = "Alice,secret,1,none,0";
const QByteArray bob = "bob,pw12,0,b@x.org,384";
const QByteArray carol = "carol,pw34,1,none,0";

QStringList inServer(const QStringList &arguments, const ServerFolder &server)
{
    return QStringList{QStringLiteral("--app-dir"), server.path()} + arguments;
}

} // namespace

class KaddManageTest : public QObject
{
    Q_OBJECT

private slots:
    void commands_data();
    void commands();
    void nameTwiceInFileChangesNothing_data();
    void nameTwiceInFileChangesNothing();
    void backupKeepsThePreviousFile();
    void missingAccountFile_data();
    void missingAccountFile();
    void list_data();
    void list();
    void listAsJson();
    void outputLostOnAFullDisk_data();
    void outputLostOnAFullDisk();
};

void KaddManageTest::commands_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("after"); // empty: the file must be byte for byte as it was
    QTest::addColumn<QByteArray>("out");

    const QByteArray none;
    QTest::newRow("passwd, name in other case")
        << QStringList{"passwd", "ALICE", "newpw1"} << none << 0
        << fileWith("Alice,newpw1,1,none,0", bob, carol)
        << QByteArray("Changed the password of Alice\n");
    QTest::newRow("set to what it is: the file is not rewritten")
        << QStringList{"set", "bob", "--gm", "384"} << none << 0 << none
        << QByteArray("bob: nothing to change\n");
    QTest::newRow("passwd from input")
        << QStringList{"passwd", "Carol"} << QByteArray("frompipe\r\n") << 0
        << fileWith(alice, bob, "carol,frompipe,1,none,0")
        << QByteArray("Changed the password of carol\n");
    QTest::newRow("passwd refused by a rule")
        << QStringList{"passwd", "alice", "pw 12"} << none << 2 << none << none;
    QTest::newRow("passwd, empty input")
        << QStringList{"passwd", "alice"} << none << 2 << none << none;
    QTest::newRow("passwd, no such account")
        << QStringList{"passwd", "alicia", "newpw1"} << none << 1 << none << none;
    QTest::newRow("set every field")
        << QStringList{"set", "BOB", "--gm", "broadcast+WARP", "--email", "new@x.org", "--male"}
        << none << 0 << fileWith(alice, "bob,pw12,1,new@x.org,129", carol)
        << QByteArray("Changed bob: GM flags 129 (BROADCAST+WARP), e-mail new@x.org, male\n");
    QTest::newRow("set, GM flags given and taken")
        << QStringList{"set", "bob", "--gm", "+BROADCAST-WHOIS"} << none << 0
        << fileWith(alice, "bob,pw12,0,b@x.org,129", carol)
        << QByteArray("Changed bob: GM flags 129 (BROADCAST+WARP)\n");
    QTest::newRow("set empty e-mail means none")
        << QStringList{"set", "bob", "--email", "", "--gm", "0"} << none << 0
        << fileWith(alice, "bob,pw12,0,none,0", carol)
        << QByteArray("Changed bob: GM flags 0, e-mail none\n");
    QTest::newRow("set e-mail refused by a rule")
        << QStringList{"set", "bob", "--email", "a,b"} << none << 2 << none << none;
    QTest::newRow("set, no such account")
        << QStringList{"set", "nobody", "--female"} << none << 1 << none << none;
    QTest::newRow("set on a line that is no record")
        << QStringList{"set", "NOCOMMA", "--female"} << none << 3 << none << none;
    QTest::newRow("set without a field") << QStringList{"set", "bob"} << none << 64 << none << none;
    QTest::newRow("set male and female")
        << QStringList{"set", "bob", "--male", "--female"} << none << 64 << none << none;
    QTest::newRow("remove the first line, mark stays")
        << QStringList{"remove", "alice", "--no-backup"} << none << 0 << fileWith({}, bob, carol)
        << QByteArray("Removed Alice\n");
    QTest::newRow("remove the last line, which had no end")
        << QStringList{"remove", "CAROL", "--no-backup"} << none << 0 << fileWith(alice, bob, {})
        << QByteArray("Removed carol\n");
    QTest::newRow("remove a line without a comma")
        << QStringList{"remove", "NoComma", "--no-backup"} << none << 0
        << QByteArray("\xEF\xBB\xBF") + alice + "\r\n" + bob + "\r\n" + carol + "\r\n"
        << QByteArray("Removed nocomma\n");
    QTest::newRow("remove, no such account")
        << QStringList{"remove", "alic"} << none << 1 << none << none;
    QTest::newRow("remove, dry run") << QStringList{"remove", "bob", "--dry-run"} << none << 0
                                     << none << QByteArray("Would remove bob (line 2)\n");
    QTest::newRow("set, dry run") << QStringList{"set", "bob", "--gm", "1", "--dry-run"} << none
                                  << 0 << none
                                  << QByteArray(
                                         "Would change bob (line 2): GM flags 1 (BROADCAST)\n");
    QTest::newRow("add, dry run") << QStringList{"add", "dave", "pw12", "--dry-run"} << none << 0
                                  << none
                                  << QByteArray(
                                         "Would create dave: GM flags 0, e-mail none, male\n");
    QTest::newRow("passwd, dry run, still checked")
        << QStringList{"passwd", "bob", "x", "--dry-run"} << none << 2 << none << none;
    QTest::newRow("check, other case")
        << QStringList{"check", "aLiCe"} << none << 0 << none << none;
    QTest::newRow("check, missing") << QStringList{"check", "alic"} << none << 1 << none << none;
    QTest::newRow("check, verbose") << QStringList{"check", "CAROL", "--verbose"} << none << 0
                                    << none << QByteArray("carol is on line 4\n");
    QTest::newRow("check, not a prefix of a line")
        << QStringList{"check", "nocomma,"} << none << 1 << none << none;
    // -v is no short --version: a check must never answer "found" for a missing name.
    QTest::newRow("check, -v") << QStringList{"check", "nobody", "-v"} << none << 64 << none
                               << none;
    QTest::newRow("verify: a line that is no record")
        << QStringList{"verify"} << none << 3 << none
        << QByteArray("line 3: not an account record (expected 5 fields "
                      "(username,password,gender,email,gmflags), found 1)\n");
    QTest::newRow("backup is not an option of add")
        << QStringList{"add", "dave", "pw12", "--backup"} << none << 64 << none << none;
}

void KaddManageTest::commands()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, after);
    QFETCH(QByteArray, out);
    ServerFolder server(existing);

    const KaddResult result = runKadd(inServer(arguments, server), server.workFolder(), input);
    QVERIFY(result.finished);
    QVERIFY2(result.exitCode == exitCode, result.err.constData());
    QCOMPARE(server.accounts(), after.isEmpty() ? existing : after);
    QCOMPARE(result.out, out);
    QVERIFY(!QFileInfo::exists(server.tempFile()));
    QVERIFY(!QFileInfo::exists(server.accountFile() + ".bak"));
}

void KaddManageTest::nameTwiceInFileChangesNothing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("passwd") << QStringList{"passwd", "alice", "newpw1"};
    QTest::newRow("set") << QStringList{"set", "ALICE", "--gm", "1"};
    QTest::newRow("remove") << QStringList{"remove", "alice"};
    QTest::newRow("remove, dry run") << QStringList{"remove", "alice", "--dry-run"};
}

void KaddManageTest::nameTwiceInFileChangesNothing()
{
    QFETCH(QStringList, arguments);
    const QByteArray twice = alice + "\r\n" + bob + "\r\nALICE,other,0,none,0\r\n";
    ServerFolder server(twice);

    const KaddResult result = runKadd(inServer(arguments, server), server.workFolder());
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 3);
    QVERIFY2(result.err.contains("on lines 1 and 3"), result.err.constData());
    QCOMPARE(server.accounts(), twice);
    QVERIFY(!QFileInfo::exists(server.tempFile()));
}

void KaddManageTest::backupKeepsThePreviousFile()
{
    ServerFolder server(existing);
    const QString backup = server.accountFile() + ".bak";
    QFile stale(backup);
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.write("an older backup, replaced");
    stale.close();

    // remove keeps one without being asked.
    KaddResult result = runKadd(inServer({"remove", "bob"}, server), server.workFolder());
    QCOMPARE(result.exitCode, 0);
    const QByteArray afterRemove = server.accounts();
    QCOMPARE(afterRemove, fileWith(alice, {}, carol));
    QFile kept(backup);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), existing);
    kept.close();

    // A failed change keeps the backup as it was.
    result = runKadd(inServer({"remove", "bob", "--backup"}, server), server.workFolder());
    QCOMPARE(result.exitCode, 1);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), existing);
    kept.close();

    result =
        runKadd(inServer({"set", "alice", "--female", "--backup"}, server), server.workFolder());
    QCOMPARE(result.exitCode, 0);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), afterRemove);
    QCOMPARE(server.accounts(), fileWith("Alice,secret,0,none,0", {}, carol));
}

void KaddManageTest::missingAccountFile_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("headline"); // a command that only reads says so
    QTest::newRow("list") << QStringList{"list"} << QByteArray("could not be read");
    QTest::newRow("check") << QStringList{"check", "alice"} << QByteArray("could not be read");
    QTest::newRow("passwd") << QStringList{"passwd", "alice", "newpw1"}
                            << QByteArray("could not be updated");
    QTest::newRow("set") << QStringList{"set", "alice", "--gm", "1", "--backup"}
                         << QByteArray("could not be updated");
    QTest::newRow("remove, dry run")
        << QStringList{"remove", "alice", "--dry-run"} << QByteArray("could not be read");
}

// Not a missing account: a file error naming the path, and the file is never created.
void KaddManageTest::missingAccountFile()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, headline);
    ServerFolder server;
    QVERIFY(QFile::remove(server.accountFile()));

    const KaddResult result = runKadd(inServer(arguments, server), server.workFolder());
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 3);
    QVERIFY2(result.err.startsWith("kadd: Account File Error: "), result.err.constData());
    QVERIFY(result.err.contains(QDir::toNativeSeparators(server.accountFile()).toUtf8()));
    QVERIFY2(result.err.contains(headline), result.err.constData());
    QVERIFY(!QFileInfo::exists(server.accountFile()));
    QVERIFY(!QFileInfo::exists(server.accountFile() + ".bak"));
}

void KaddManageTest::list_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("out");

    const QByteArray listedAlice = "Alice\tmale\tnone\t0\t\n";
    const QByteArray listedBob = "bob\tfemale\tb@x.org\t384\tWARP+WHOIS\n";
    const QByteArray listedNoComma =
        "nocomma\t(line 3 is not a well-formed record: expected 5 fields "
        "(username,password,gender,email,gmflags), found 1)\n";
    const QByteArray listedCarol = "carol\tmale\tnone\t0\t\n";
    // Characters that would drive the terminal are shown, not sent.
    const QByteArray listedEscapes = "esc\\x{1b}[2J\tfemale\ta\\x{7f}@b\t0\t\n";
    // A line whose fields have shifted shows no field's value; a huge line only its start.
    const QByteArray listedShifted =
        "carl\t(line 6 is not a well-formed record: the gender is not 1 or 0)\n";
    const QByteArray listedHuge =
        QByteArray(64, 'x') + "\t(line 7 is not a well-formed record: longer than 4096 bytes)\n";
    QTest::newRow("all, malformed line kept")
        << QStringList{"list"}
        << listedAlice + listedBob + listedNoComma + listedCarol + listedEscapes + listedShifted +
               listedHuge;
    QTest::newRow("wildcards, any case, e-mail none too")
        << QStringList{"list", "?O*"} << listedAlice + listedBob + listedNoComma + listedCarol;
    QTest::newRow("no wildcard: contained") << QStringList{"list", "LIC"} << listedAlice;
    QTest::newRow("passwords on request")
        << QStringList{"list", "b*", "--show-passwords"}
        << QByteArray("bob\tpw12\tfemale\tb@x.org\t384\tWARP+WHOIS\n");
}

void KaddManageTest::list()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, out);
    ServerFolder server(existing +
                        "\r\nesc\x1b[2J,pw,0,a\x7f@b,0\r\ncarl,c@x.org,Sup3rSecret,1,0\r\n" +
                        QByteArray(5000, 'x') + "\r\n");

    const KaddResult result = runKadd(inServer(arguments, server), server.workFolder());
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, out);
    QVERIFY(!result.out.contains("secret"));
    QVERIFY(!result.out.contains("Sup3r"));
}

void KaddManageTest::listAsJson()
{
    // A terminal escape in a hand-edited line reaches the script as data, not as a command; a
    // quote and a backslash in a plain record are escaped as Qt escapes them.
    ServerFolder server(existing + "\r\nesc\x1b[2J\x7f,pw,0,none,x\r\nq\"\\,pw,1,a\"\\b,1\r\n");
    const KaddResult result = runKadd(inServer({"list", "--json"}, server), server.workFolder());
    QCOMPARE(result.exitCode, 0);
    QJsonParseError error;
    const QJsonArray accounts = QJsonDocument::fromJson(result.out, &error).array();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(accounts.size(), 6);
    const QJsonObject bobObject = accounts.at(1).toObject();
    QCOMPARE(bobObject.value("username").toString(), "bob");
    QCOMPARE(bobObject.value("gender").toString(), "female");
    QCOMPARE(bobObject.value("gmFlags").toInt(), 384);
    QCOMPARE(bobObject.value("gmFlagNames").toArray(), QJsonArray({"WARP", "WHOIS"}));
    QCOMPARE(bobObject.value("line").toInt(), 2);
    QVERIFY(!bobObject.contains("password"));
    QCOMPARE(accounts.at(2).toObject().value("username").toString(), "nocomma");
    QVERIFY(accounts.at(2).toObject().contains("malformed"));
    QCOMPARE(accounts.at(4).toObject().value("username").toString(), "esc\x1b[2J\x7f");
    QVERIFY(!result.out.contains('\x7f'));
    // Written one object at a time, the array is what Qt writes for it whole (which leaves DEL
    // as it is).
    QCOMPARE(result.out, QJsonDocument(accounts).toJson().replace('\x7f', "\\u007f"));
    QVERIFY(accounts.at(4).toObject().value("malformed").toString().contains("GM flags"));
}

void KaddManageTest::outputLostOnAFullDisk_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("list") << QStringList{"list"} << existing;
    QTest::newRow("help") << QStringList{"--help"} << existing;
    QTest::newRow("add, still made") << QStringList{"add", "dave", "pw5678"}
                                     << fileWith(alice, bob, carol) + "dave,pw5678,1,none,0\r\n";
}

// Standard output on a full disk: what was printed is incomplete, and the status must say so.
void KaddManageTest::outputLostOnAFullDisk()
{
#ifdef Q_OS_LINUX
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, after);
    ServerFolder server(existing);

    QProcess kadd;
    kadd.setWorkingDirectory(server.workFolder());
    kadd.setStandardOutputFile(QStringLiteral("/dev/full"));
    kadd.start(builtProgram(KADD_PATH), inServer(arguments, server));
    kadd.closeWriteChannel();
    QVERIFY(kadd.waitForFinished(30000));
    QCOMPARE(kadd.exitCode(), 74);
    QVERIFY(kadd.readAllStandardError().contains("cannot write to standard output"));
    QCOMPARE(server.accounts(), after);
#else
    QSKIP("Needs /dev/full.");
#endif
}

QTEST_GUILESS_MAIN(KaddManageTest)
#include "tst_kadd_manage.moc"
