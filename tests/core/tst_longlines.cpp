#include "core/AccountEdit.h"
#include "core/AccountTable.h"
#include "core/ListAccounts.h"
#include "tests/support/ServerFolder.h"

#include <QTest>

// The commands that read the account file line by line (check, list and the edits) against a
// line far longer than any record: it costs them no more memory than a short one, and the edits
// copy it unchanged.
class LongLinesTest : public QObject
{
    Q_OBJECT

private slots:
    void costsNoMemory_data();
    void costsNoMemory();
    void cutNameNamesNoAccount();
};

namespace {

constexpr qsizetype longLine = 32 * 1024 * 1024;
const QByteArray bob = "bob,pw12,1,none,0\r\n";
const QByteArray carol = "carol,pw12,0,none,0\r\n";

// The peak of the resident memory starts again from what is resident now.
bool resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

qint64 peakMemory()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
    }
    return -1;
}

} // namespace

void LongLinesTest::costsNoMemory_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("end"); // of the long line

    QTest::newRow("check the next account") << "check" << QByteArray("\r\n");
    QTest::newRow("list") << "list" << QByteArray("\r\n");
    QTest::newRow("passwd of the next account, CR LF") << "passwd" << QByteArray("\r\n");
    QTest::newRow("passwd of the next account, lone CR") << "passwd" << QByteArray("\r");
    QTest::newRow("remove the long line") << "remove" << QByteArray("\n");
}

void LongLinesTest::costsNoMemory()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, end);
#ifndef Q_OS_LINUX
    QSKIP("the peak memory is read from /proc");
#endif
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer keeps freed memory resident, so the peak says nothing here");
#endif
    const QByteArray zed = "zed," + QByteArray(longLine, 'p') + ",1,none,0";
    ServerFolder server(bob + zed + end + carol);
    WorkingFolder working(server.workFolder());
    if (!resetPeakMemory())
        QSKIP("this system keeps the peak memory from the start");
    const qint64 before = peakMemory();

    if (command == QLatin1String("check")) {
        const FindResult found = FindAccount(server.path(), QStringLiteral("CAROL"));
        QCOMPARE(found.outcome, EditOutcome::Done);
        QCOMPARE(found.lineNumber, 3);
    } else if (command == QLatin1String("list")) {
        QStringList listed;
        QVERIFY(ListAccounts(server.path(), AccountPattern(QString()),
                             [&](int, const AccountRecord &record) {
                                 listed << record.username + u' ' + record.malformed;
                             })
                    .outcome == ReadOutcome::Done);
        QCOMPARE(listed, QStringList({"bob ", "zed longer than 4096 bytes", "carol "}));
    } else {
        AccountEdit edit;
        edit.username = command == QLatin1String("remove") ? "zed" : "carol";
        edit.remove = command == QLatin1String("remove");
        if (!edit.remove)
            edit.values.append({PasswordField, QStringLiteral("newpw")});
        QCOMPARE(EditAccount(server.path(), edit).outcome, EditOutcome::Done);
    }

    const qint64 grown = peakMemory() - before;
    QVERIFY2(grown < longLine / 4, qPrintable(QStringLiteral("grew by %1 bytes").arg(grown)));
    if (command == QLatin1String("passwd"))
        QVERIFY(server.accounts() == bob + zed + "\r\ncarol,newpw,0,none,0\r\n");
    else if (command == QLatin1String("remove"))
        QVERIFY(server.accounts() == bob + carol);
}

// A name field longer than a line is handed out whole is cut short: its start is no name.
void LongLinesTest::cutNameNamesNoAccount()
{
    const QByteArray start(1024 * 1024, 'z');
    ServerFolder server(bob + start + "zzz,pw12,1,none,0\r\n" + carol);
    const QString name = QString::fromLatin1(start);

    QCOMPARE(FindAccount(server.path(), name).outcome, EditOutcome::NoSuchAccount);
    AccountTable table;
    QCOMPARE(table.load(server.path()).outcome, ReadOutcome::Done);
    QCOMPARE(table.find(name), qsizetype(-1));
}

QTEST_GUILESS_MAIN(LongLinesTest)
#include "tst_longlines.moc"
