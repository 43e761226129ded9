#include "core/AccountEdit.h"
#include "core/AccountFile.h"
#include "core/CreateAccount.h"
#include "tests/core/FakeEntryView.h"
#include "tests/support/AuditSinks.h"
#include "tests/support/FaultInjection.h"
#include "tests/support/ServerFolder.h"

#include <QDir>
#include <QTest>

#include <functional>

// What the system log is told of each change to the account file, and that it is told nothing
// of what changed nothing. The record texts are checked here, in process; tst_kadd_syslog sees
// one reach a real log socket.
class AuditTrailTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { FaultInjection::reset(); }
    void oneRecordPerChange_data();
    void oneRecordPerChange();
    void nothingLoggedWithoutAChange_data();
    void nothingLoggedWithoutAChange();
    void fileErrorsLogged_data();
    void fileErrorsLogged();
};

namespace {

const QByteArray accounts = "Bob,oldpw1,1,none,0\r\n";
const QString password = QStringLiteral("n3wSecret");

using Operation = std::function<void(const QString &serverFolder)>;

AccountEdit edit(std::initializer_list<FieldValue> values, bool remove = false)
{
    AccountEdit change;
    change.username = QStringLiteral("bob");
    change.values = values;
    change.remove = remove;
    return change;
}

Operation editing(const AccountEdit &change)
{
    return [change](const QString &folder) {
        EditAccount(folder, change);
    };
}

Operation adding(const QString &username, const QString &record)
{
    return [=](const QString &folder) {
        AddAccount(folder, username, record);
    };
}

// The tail every record carries: where, by which program, by whom.
QString context(const ServerFolder &server)
{
    return QStringLiteral("; account file %1; program %2; operator ")
        .arg(QDir::toNativeSeparators(server.accountFile()), QCoreApplication::applicationName());
}

QStringList texts(const RecordingAuditSink &sink, AuditLevel level)
{
    QStringList found;
    for (const RecordingAuditSink::Record &record : sink.records) {
        if (record.level == level)
            found.append(record.text);
    }
    return found;
}

// Each text followed by the record's tail, for the start of each record.
void compareRecords(const QStringList &records, const QStringList &expected,
                    const ServerFolder &server)
{
    QCOMPARE(records.size(), expected.size());
    for (qsizetype i = 0; i < records.size(); ++i) {
        QVERIFY2(records[i].startsWith(expected[i] + context(server)), qPrintable(records[i]));
        QVERIFY2(!records[i].contains(password), qPrintable(records[i]));
    }
}

} // namespace

void AuditTrailTest::oneRecordPerChange_data()
{
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("add") << adding("alice", "alice," + password + ",0,none,384")
                         << QStringList{"account added: alice (female, e-mail none, GM 384 "
                                        "WARP+WHOIS)"};
    QTest::newRow("import") << Operation([](const QString &folder) {
        AddAccounts(folder,
                    {{"carl", "carl," + password + ",1,carl@example.org,0"},
                     {"anna", "anna,pw34,0,none,128"}},
                    BatchMode::Append, "/home/ops/new-players.txt");
    })
                            << QStringList{
                                   "import: 2 accounts added from /home/ops/new-players.txt",
                                   "account added: carl (male, e-mail carl@example.org, GM 0)",
                                   "account added: anna (female, e-mail none, GM 128 WARP)"};
    QTest::newRow("passwd") << editing(edit({{PasswordField, password}}))
                            << QStringList{"password changed: Bob"};
    QTest::newRow("set") << editing(edit({{GmFlagsField, "384"},
                                          {EmailField, "bob@example.org"},
                                          {GenderField, "0"}}))
                         << QStringList{"account changed: Bob (GM 0 \u2192 384 WARP+WHOIS; "
                                        "e-mail none \u2192 bob@example.org; male \u2192 female)"};
    QTest::newRow("remove") << editing(edit({}, true)) << QStringList{"account removed: Bob"};
    QTest::newRow("Create Account in the window") << Operation([](const QString &folder) {
        FakeEntryView view;
        view.folder = folder;
        view.type("dave", password, "dave@example.org");
        QCOMPARE(CreateAccount(view), CreateOutcome::Created);
    }) << QStringList{"account added: dave (male, e-mail dave@example.org, GM 0)"};
}

void AuditTrailTest::oneRecordPerChange()
{
    QFETCH(Operation, operation);
    QFETCH(QStringList, expected);
    ServerFolder server(accounts);
    WorkingFolder working(server.workFolder());
    RecordingAuditSink sink;

    operation(server.path());
    QVERIFY(texts(sink, AuditLevel::Failure).isEmpty());
    compareRecords(texts(sink, AuditLevel::Change), expected, server);
}

void AuditTrailTest::nothingLoggedWithoutAChange_data()
{
    QTest::addColumn<Operation>("operation");

    AccountEdit dryRun = edit({{PasswordField, password}});
    dryRun.dryRun = true;
    AccountEdit nobody = edit({}, true);
    nobody.username = "nobody";
    QTest::newRow("duplicate") << adding("BOB", "BOB,pw12,1,none,0");
    QTest::newRow("dry run") << editing(dryRun);
    QTest::newRow("no such account") << editing(nobody);
    QTest::newRow("import checked only") << Operation([](const QString &folder) {
        AddAccounts(folder, {{"carl", "carl,pw12,1,none,0"}}, BatchMode::CheckOnly);
    });
    QTest::newRow("refused by a rule in the window") << Operation([](const QString &folder) {
        FakeEntryView view;
        view.folder = folder;
        view.type("dave", "has space", QString());
        QCOMPARE(CreateAccount(view), CreateOutcome::Refused);
    });
}

void AuditTrailTest::nothingLoggedWithoutAChange()
{
    QFETCH(Operation, operation);
    ServerFolder server(accounts);
    WorkingFolder working(server.workFolder());
    RecordingAuditSink sink;

    operation(server.path());
    QCOMPARE(sink.records.size(), 0);
    QCOMPARE(server.accounts(), accounts);
}

void AuditTrailTest::fileErrorsLogged_data()
{
    QTest::addColumn<bool>("fileMissing");
    QTest::addColumn<bool>("lastStepFails"); // the folder's flush, after the change landed
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<QString>("failure");

    const QString missing = "The account file could not be updated; File: %1; Reason: the file "
                            "does not exist";
    QTest::newRow("add, no account file")
        << true << false << adding("alice", "alice," + password + ",1,none,0") << QStringList{}
        << "file error adding account alice: " + missing;
    QTest::newRow("passwd, no account file")
        << true << false << editing(edit({{PasswordField, password}})) << QStringList{}
        << "file error changing the password of bob: " + missing;
    QTest::newRow("add, last step fails")
        << false << true << adding("alice", "alice," + password + ",1,none,0")
        << QStringList{"account added: alice (male, e-mail none, GM 0)"}
        << "file error adding account alice: The account file was changed, but the last step "
           "of the update failed; File: %1; Reason: ";
    QTest::newRow("remove, last step fails")
        << false << true << editing(edit({}, true)) << QStringList{"account removed: Bob"}
        << "file error removing account bob: The account file was changed, but the last step "
           "of the update failed; File: %1; Reason: ";
    // The error quotes the value it could not store: a password must not get through with it.
    QTest::newRow("passwd, value that cannot be stored")
        << false << false << editing(edit({{PasswordField, password + ",x"}})) << QStringList{}
        << "file error changing the password of bob: The account file could not be updated; "
           "File: %1; Reason: the new value '(password)' cannot be stored; ";
    QTest::newRow("name escaped")
        << false << false << adding("ev\x1bil", "ev\x1bil,pw12,1,none,0") << QStringList{}
        << "file error adding account ev\\x{1b}il: The account file could not be updated; "
           "File: %1; Reason: the record of ev\\x{1b}il holds a character that cannot be stored;";
}

void AuditTrailTest::fileErrorsLogged()
{
    QFETCH(bool, fileMissing);
    QFETCH(bool, lastStepFails);
    QFETCH(Operation, operation);
    QFETCH(QStringList, changes);
    QFETCH(QString, failure);

    int operations = 0;
    if (lastStepFails) {
        ServerFolder plain(accounts);
        WorkingFolder working(plain.workFolder());
        operation(plain.path());
        operations = FaultInjection::operationCount();
    }
    // The folder's flush is among the last operations counted; on some systems the lock files'
    // removal is counted after it.
    for (int failing = operations;; --failing) {
        FaultInjection::reset();
        ServerFolder server(accounts);
        WorkingFolder working(server.workFolder());
        if (fileMissing)
            QVERIFY(QFile::remove(server.accountFile()));
        FaultInjection::failOperation(failing);
        RecordingAuditSink sink;

        operation(server.path());
        const QStringList failures = texts(sink, AuditLevel::Failure);
        const bool landed = failures.size() == 1 && failures[0].contains("was changed");
        if (lastStepFails && !landed && failing > 1)
            continue;
        compareRecords(texts(sink, AuditLevel::Change), changes, server);
        QCOMPARE(failures.size(), 1);
        const QString expected = failure.arg(QDir::toNativeSeparators(server.accountFile()));
        QVERIFY2(failures[0].startsWith(expected), qPrintable(failures[0]));
        QVERIFY2(failures[0].contains(context(server)), qPrintable(failures[0]));
        QVERIFY2(!failures[0].contains(password), qPrintable(failures[0]));
        return;
    }
}

QTEST_GUILESS_MAIN(AuditTrailTest)
#include "tst_audittrail.moc"
