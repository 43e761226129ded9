#include "core/AccountRestore.h"

#include "tests/support/FaultInjection.h"
#include "tests/support/ServerFolder.h"

#include <QtTest>

// kadd restore's swap of the account file and its backup, in both of its ways.
class AccountRestoreTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { FaultInjection::reset(); }
    void restoreTwiceIsTheIdentity_data();
    void restoreTwiceIsTheIdentity();
    void refusesWhenAFileChangedAfterThePreview();

private:
    static QByteArray backupOf(const ServerFolder &server);
    static void setBackup(const ServerFolder &server, const QByteArray &bytes);
};

namespace {

const QByteArray current = "alice,pw1234,1,none,0\r\nBOB,pw1234,0,none,0\r\ncarol,pw1,1,none,0\r\n";
const QByteArray previous = "Alice,old1234,1,none,0\r\nbob,pw1234,0,none,0\r\n";

} // namespace

QByteArray AccountRestoreTest::backupOf(const ServerFolder &server)
{
    QFile file(server.accountFile() + QStringLiteral(".bak"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

void AccountRestoreTest::setBackup(const ServerFolder &server, const QByteArray &bytes)
{
    QFile file(server.accountFile() + QStringLiteral(".bak"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

void AccountRestoreTest::restoreTwiceIsTheIdentity_data()
{
    QTest::addColumn<bool>("exchange");
    QTest::newRow("names exchanged") << true;
    QTest::newRow("backup copied in, as without an exchange") << false;
}

void AccountRestoreTest::restoreTwiceIsTheIdentity()
{
    QFETCH(bool, exchange);
    FaultInjection::setNoExchange(!exchange);
    ServerFolder server(current);
    const WorkingFolder working(server.workFolder());
    const RestorePreview none = PreviewRestore(server.path());
    QVERIFY(none.outcome == ReadOutcome::FileError && none.noBackup);
    QVERIFY2(none.errorText.contains(QStringLiteral("no backup")), qPrintable(none.errorText));
    setBackup(server, previous);

    const QByteArray files[] = {current, previous};
    for (int swap = 1; swap <= 2; ++swap) {
        const RestorePreview preview = PreviewRestore(server.path());
        QVERIFY2(preview.outcome == ReadOutcome::Done, qPrintable(preview.errorText));
        // Names compare as the duplicate check compares them: alice and bob are in both.
        QCOMPARE(preview.onlyInCurrent, swap == 1 ? 1 : 0);
        QCOMPARE(preview.onlyInBackup, swap == 1 ? 0 : 1);
        const RestoreResult result = RestoreBackup(server.path(), preview);
        QVERIFY2(result.outcome == RestoreOutcome::Done, qPrintable(result.errorText));
        QCOMPARE(server.accounts(), files[swap % 2]);
        QCOMPARE(backupOf(server), files[(swap + 1) % 2]);
        QCOMPARE(server.leftovers(), QStringList());
    }
}

void AccountRestoreTest::refusesWhenAFileChangedAfterThePreview()
{
    ServerFolder server(current);
    const WorkingFolder working(server.workFolder());
    setBackup(server, previous);
    const RestorePreview preview = PreviewRestore(server.path());
    QVERIFY(preview.outcome == ReadOutcome::Done);
    const QByteArray grown = current + "dave,pw1234,1,none,0\r\n";
    server.setAccounts(grown);

    const RestoreResult result = RestoreBackup(server.path(), preview);
    QCOMPARE(result.outcome, RestoreOutcome::Changed);
    QVERIFY(!result.fileChanged);
    QCOMPARE(server.accounts(), grown);
    QCOMPARE(backupOf(server), previous);
}

QTEST_GUILESS_MAIN(AccountRestoreTest)
#include "tst_accountrestore.moc"
