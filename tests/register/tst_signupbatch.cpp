#include "register/SignUpBatcher.h"

#include "core/RecordEncoding.h"
#include "tests/support/AuditSinks.h"
#include "tests/support/ServerFolder.h"

#include <QFile>
#include <QTest>

namespace {

NewAccount account(const QString &name)
{
    return {name, BuildRecordLine(name, QStringLiteral("secret"), 1, QStringLiteral("none"), 0),
            QStringLiteral("sign-up from 192.0.2.7")};
}

} // namespace

// One update per batch, each registration told its own outcome.
class SignUpBatchTest : public QObject
{
    Q_OBJECT

private slots:
    void eachRegistrationGetsItsOwnOutcome_data()
    {
        QTest::addColumn<QByteArray>("file");
        // The last line without its end is read once more when the copy is made: a name taken
        // there must still be left out, and the others appended.
        QTest::newRow("taken in another case") << QByteArray("Wanderer,pw,1,none,0\r\n");
        QTest::newRow("taken on an unended last line") << QByteArray("a,b,1,none,0\r\nwanderer");
    }
    void eachRegistrationGetsItsOwnOutcome()
    {
        QFETCH(QByteArray, file);
        ServerFolder server(file);
        WorkingFolder working(server.workFolder());
        RecordingAuditSink log;
        const QList<SignUpOutcome> outcomes =
            writeSignUps(server.path(),
                         {account(QStringLiteral("newcomer")), account(QStringLiteral("WANDERER")),
                          account(QStringLiteral("NEWCOMER")), account(QStringLiteral("second"))});
        QCOMPARE(outcomes,
                 (QList<SignUpOutcome>{SignUpOutcome::Created, SignUpOutcome::Duplicate,
                                       SignUpOutcome::Duplicate, SignUpOutcome::Created}));
        QByteArray expected = file;
        if (!expected.endsWith("\r\n"))
            expected += "\r\n";
        expected += "newcomer,secret,1,none,0\r\nsecond,secret,1,none,0\r\n";
        QCOMPARE(server.accounts(), expected);
        QCOMPARE(log.records.size(), 2);
        QVERIFY(log.records.constFirst().text.contains(
            QStringLiteral("account added: newcomer (male, e-mail none, GM 0) by sign-up from "
                           "192.0.2.7")));
    }

    void aFileErrorFailsTheWholeBatch()
    {
        ServerFolder server;
        QFile::remove(server.accountFile());
        WorkingFolder working(server.workFolder());
        RecordingAuditSink log;
        const QList<SignUpOutcome> outcomes =
            writeSignUps(server.path(),
                         {account(QStringLiteral("newcomer")), account(QStringLiteral("second"))});
        QCOMPARE(outcomes, QList<SignUpOutcome>(2, SignUpOutcome::FileError));
        QVERIFY(!QFile::exists(server.accountFile()));
        QCOMPARE(log.records.size(), 1);
        QCOMPARE(log.records.constFirst().level, AuditLevel::Failure);
    }
};

QTEST_GUILESS_MAIN(SignUpBatchTest)
#include "tst_signupbatch.moc"
