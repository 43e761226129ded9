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

// What the system log is told of each change to the account file, and of a file error; and
// that it is told nothing of what changed nothing. tst_kadd_syslog sees one reach a log socket.
class AuditTrailTest : public QObject
{
    Q_OBJECT

private slots:
    void records_data();
    void records();
    void recordsDoNotDependOnPasswords_data();
    void recordsDoNotDependOnPasswords();
};

namespace {

const QByteArray accounts = "Bob,oldpw1,1,none,0\r\n";
const QString password = QStringLiteral("n3wSecret");

using Operation = std::function<void(const QString &serverFolder)>;
using PasswordOperation = std::function<void(const QString &serverFolder, const QString &password)>;

Operation editing(std::initializer_list<FieldValue> values, bool remove = false,
                  bool dryRun = false)
{
    AccountEdit edit;
    edit.username = QStringLiteral("bob");
    edit.values = values;
    edit.remove = remove;
    edit.dryRun = dryRun;
    return [edit](const QString &folder) {
        EditAccount(folder, edit);
    };
}

Operation adding(const QString &username, const QString &record)
{
    return [=](const QString &folder) {
        AddAccount(folder, username, record);
    };
}

} // namespace

void AuditTrailTest::records_data()
{
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<QStringList>("expected"); // the start of each record; %1: the account file
    QTest::addColumn<bool>("lastStepFails");   // the folder's flush, once the change landed

    const QString notUpdated = "The account file could not be updated; File: %1; Reason: ";
    QTest::newRow("add") << adding("alice", "alice," + password + ",0,none,384")
                         << QStringList{"account added: alice (female, e-mail none, GM 384 "
                                        "WARP+WHOIS)"}
                         << false;
    QTest::newRow("import")
        << Operation([](const QString &folder) {
               AddAccounts(folder, {{"carl", "carl," + password + ",1,carl@example.org,0"}},
                           BatchMode::Append, "/home/ops/new-players.txt");
           })
        << QStringList{"import: 1 account added from /home/ops/new-players.txt",
                       "account added: carl (male, e-mail carl@example.org, GM 0)"}
        << false;
    QTest::newRow("passwd") << editing({{PasswordField, password}})
                            << QStringList{"password changed: Bob"} << false;
    QTest::newRow("set") << editing({{GmFlagsField, "384"},
                                     {EmailField, "bob@example.org"},
                                     {GenderField, "0"}})
                         << QStringList{"account changed: Bob (GM 0 \u2192 384 WARP+WHOIS; "
                                        "e-mail none \u2192 bob@example.org; male \u2192 female)"}
                         << false;
    QTest::newRow("Create Account in the window") << Operation([](const QString &folder) {
        FakeEntryView view;
        view.folder = folder;
        view.type("dave", password, "dave@example.org");
        CreateAccount(view);
    }) << QStringList{"account added: dave (male, e-mail dave@example.org, GM 0)"}
                                                  << false;
    QTest::newRow("duplicate") << adding("BOB", "BOB,pw12,1,none,0") << QStringList{} << false;
    QTest::newRow("dry run") << editing({}, true, true) << QStringList{} << false;
    QTest::newRow("set to what it is")
        << editing({{GmFlagsField, "0"}, {GenderField, "1"}}) << QStringList{} << false;
    QTest::newRow("file error") << adding("alice", "alice," + password + ",1,none,0")
                                << QStringList{"file error adding account alice: " + notUpdated +
                                               "the file does not exist"}
                                << false;
    QTest::newRow("remove, last step fails")
        << editing({}, true)
        << QStringList{"account removed: Bob",
                       "file error removing account bob: The account file was changed, but the "
                       "last step of the update failed; File: %1; Reason: "}
        << true;
    // The error quotes the value it could not store; the record names its field instead.
    QTest::newRow("password that cannot be stored")
        << editing({{PasswordField, password + ",x"}})
        << QStringList{"file error changing the password of bob: " + notUpdated +
                       "the new password cannot be stored; "}
        << false;
    QTest::newRow("name escaped")
        << adding("ev\x1bil", "ev\x1bil,pw12,1,none,0")
        << QStringList{"file error adding account ev\\x{1b}il: " + notUpdated +
                       "the record of ev\\x{1b}il holds a character that cannot be stored;"}
        << false;
}

void AuditTrailTest::records()
{
    QFETCH(Operation, operation);
    QFETCH(QStringList, expected);
    QFETCH(bool, lastStepFails);

    int operations = 0;
    if (lastStepFails) {
        ServerFolder plain(accounts);
        WorkingFolder working(plain.workFolder());
        operation(plain.path());
        operations = FaultInjection::operationCount();
    }
    // The folder's flush is among the last operations counted; Windows counts the lock files'
    // removal after it.
    for (int failing = operations;; --failing) {
        FaultInjection::reset();
        ServerFolder server(accounts);
        if (QTest::currentDataTag() == QLatin1String("file error"))
            QVERIFY(QFile::remove(server.accountFile()));
        WorkingFolder working(server.workFolder());
        FaultInjection::failOperation(failing);
        RecordingAuditSink sink;
        operation(server.path());

        if (lastStepFails && failing > 1 && sink.records.size() != expected.size())
            continue;
        const QString file = QDir::toNativeSeparators(server.accountFile());
        const QString tail = QStringLiteral("; account file %1; program %2; operator ")
                                 .arg(file, QCoreApplication::applicationName());
        QCOMPARE(sink.records.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i) {
            const RecordingAuditSink::Record &record = sink.records[i];
            const bool failure = expected[i].startsWith("file error");
            QCOMPARE(record.level, failure ? AuditLevel::Failure : AuditLevel::Change);
            QVERIFY2(record.text.startsWith(failure ? expected[i].arg(file) : expected[i]) &&
                         record.text.contains(tail) && !record.text.contains(password),
                     qPrintable(record.text));
        }
        return;
    }
}

void AuditTrailTest::recordsDoNotDependOnPasswords_data()
{
    QTest::addColumn<PasswordOperation>("operation");

    QTest::newRow("add") << PasswordOperation([](const QString &folder, const QString &password) {
        AddAccount(folder, "alice", "alice," + password + ",0,none,0");
    });
    QTest::newRow("import") << PasswordOperation(
        [](const QString &folder, const QString &password) {
            AddAccounts(folder, {{"carl", "carl," + password + ",1,none,0"}}, BatchMode::Append,
                        "/home/ops/new-players.txt");
        });
    QTest::newRow("passwd") << PasswordOperation(
        [](const QString &folder, const QString &password) {
            editing({{PasswordField, password}})(folder);
        });
    QTest::newRow("set") << PasswordOperation([](const QString &folder, const QString &password) {
        editing({{PasswordField, password}, {EmailField, "bob@example.org"}})(folder);
    });
    QTest::newRow("Create Account in the window")
        << PasswordOperation([](const QString &folder, const QString &password) {
               FakeEntryView view;
               view.folder = folder;
               view.type("dave", password, "dave@example.org");
               CreateAccount(view);
           });
}

// The same failing change with two passwords, each a word of its error text or its path.
void AuditTrailTest::recordsDoNotDependOnPasswords()
{
    QFETCH(PasswordOperation, operation);

    FaultInjection::reset();
    ServerFolder server(accounts);
    QVERIFY(QFile::remove(server.accountFile()));
    WorkingFolder working(server.workFolder());
    QStringList records[2];
    for (int i : {0, 1}) {
        RecordingAuditSink sink;
        operation(server.path(), i == 0 ? QStringLiteral("count") : QStringLiteral("kPlayer"));
        for (const RecordingAuditSink::Record &record : sink.records)
            records[i].append(record.text);
    }
    QVERIFY(!records[0].isEmpty());
    QCOMPARE(records[0], records[1]);
}

QTEST_GUILESS_MAIN(AuditTrailTest)
#include "tst_audittrail.moc"
