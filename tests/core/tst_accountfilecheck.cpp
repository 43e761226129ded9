#include "core/AccountFileCheck.h"
#include "core/AccountTable.h"

#include "tests/support/ServerFolder.h"

#include <QtTest>

// The faults that kadd verify reports and kadd repair removes, found once, here.
class AccountFileCheckTest : public QObject
{
    Q_OBJECT

private slots:
    void faults_data();
    void faults();
};

void AccountFileCheckTest::faults_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("keepLast");
    // Each fault as "line:malformed", or "line:N" for a name that line N holds and keeps.
    QTest::addColumn<QStringList>("expected");

    const QByteArray mixed = "Alice,pw1234,1,none,0\r\n"
                             "nocomma\n"
                             "Zo\xC3\xAB,pw1234,0,none,0\r" // ë as one character
                             "ALICE,pw5678,1,none,0\r\n"
                             "zoe\xCC\x88,pw1234,0,none,0\r\n" // e and a combining diaeresis
                             "alice,pw9999,1,none,0\r\n"
                             "bob,pw,2,none,0";
    QTest::newRow("malformed and names twice, the first kept")
        << mixed << false << QStringList{"2:malformed", "4:1", "5:3", "6:1", "7:malformed"};
    QTest::newRow("names twice, the last kept")
        << mixed << true << QStringList{"1:6", "2:malformed", "3:5", "4:6", "7:malformed"};
    QTest::newRow("sound") << QByteArray("\xEF\xBB\xBF"
                                         "alice,pw1234,1,none,0\r\nalic,pw1234,1,none,0\r\n")
                           << false << QStringList{};
}

void AccountFileCheckTest::faults()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, keepLast);
    QFETCH(QStringList, expected);
    ServerFolder server(file);
    AccountTable table;
    QVERIFY(table.load(server.path()).ok);

    QStringList found;
    for (const AccountFileFault &fault :
         findFaults(table, keepLast ? KeepLine::Last : KeepLine::First)) {
        // What a removal is given must be the line exactly as the file holds it.
        QCOMPARE(fault.text, table.line(fault.lineNumber - 1).toByteArray());
        QVERIFY(!fault.reason.isEmpty());
        found << QStringLiteral("%1:%2")
                     .arg(fault.lineNumber)
                     .arg(fault.kind == AccountFileFault::Malformed
                              ? QStringLiteral("malformed")
                              : QString::number(fault.otherLine));
    }
    QCOMPARE(found, expected);
}

QTEST_GUILESS_MAIN(AccountFileCheckTest)
#include "tst_accountfilecheck.moc"
