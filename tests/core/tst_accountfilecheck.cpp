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

    // The file holds text in the system's encoding. Where that cannot hold a combining
    // diaeresis (Windows' code pages), the same name comes in another letter case instead.
    const auto encoded = [](const QString &text) {
        QByteArray bytes = QStringEncoder(QStringConverter::System).encode(text);
        return QStringDecoder(QStringConverter::System).decode(bytes) == text ? bytes
                                                                              : QByteArray();
    };
    QByteArray zoeAgain = encoded(QStringLiteral("zoe\u0308,pw1234,0,none,0"));
    if (zoeAgain.isEmpty())
        zoeAgain = encoded(QStringLiteral("ZO\u00CB,pw1234,0,none,0"));
    const QByteArray mixed = "Alice,pw1234,1,none,0\r\n"
                             "nocomma\n" +
                             encoded(QStringLiteral("Zo\u00EB,pw1234,0,none,0")) + "\r" +
                             "ALICE,pw5678,1,none,0\r\n" + zoeAgain + "\r\n" +
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
    QVERIFY(table.load(server.path()).outcome == ReadOutcome::Done);

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
