#include "core/AccountTable.h"
#include "tests/support/ServerFolder.h"
#include "tests/support/SystemCodePage.h"

#include <QTest>

// The table the Accounts window browses: the file's lines as rows, the filter and the sort on
// the bytes agreeing with the rules of the records and of the duplicate check.
class AccountTableTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void lineRulesReachTheTable_data();
    void lineRulesReachTheTable();
    void malformedAgreesWithParseRecord_data();
    void malformedAgreesWithParseRecord();
    void cancelledLoadLeavesItEmpty();
    void largeFileKeepsEveryLinesKeys();
    void filter_data();
    void filter();
    void sort_data();
    void sort();
    void find_data();
    void find();

private:
    ServerFolder m_server;
    AccountTable m_table; // of browsed
};

namespace {

using Indexes = QList<qsizetype>;

// One line of each kind the filter, the sort and find tell apart.
const QStringList browsed = {
    QStringLiteral("bob,pw,1,d7@example.org,5"), QStringLiteral("Ábel,pw,0,abel@Dragon.net,10"),
    QStringLiteral("dragon7,zz,1,none,0"),       QStringLiteral("drake,dra,2,none,0"),
    QStringLiteral("ſam,aa,0,none,65535"),       QStringLiteral("BOB,pw,1,bob@x,5"),
};

} // namespace

void AccountTableTest::initTestCase()
{
    QStringList lines = browsed;
    // A code page without the long s (Windows-1252) gets the name its key names.
    if (!systemCodePageHolds(lines.at(4)))
        lines[4].replace(u'ſ', u's');
    m_server.setAccounts(systemBytes(lines.join(QStringLiteral("\r\n"))));
    QVERIFY(m_table.load(m_server.path()).outcome == ReadOutcome::Done);
}

void AccountTableTest::lineRulesReachTheTable_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<QByteArray>>("lines");

    // CR LF is in every other file here.
    QTest::newRow("LF, lone CR, no last end")
        << QByteArray("a\nb\rc") << QList<QByteArray>{"a", "b", "c"};
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF"
                                                   "a\r\n\r\n")
                                     << QList<QByteArray>{"a", ""};
}

void AccountTableTest::lineRulesReachTheTable()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<QByteArray>, lines);
    ServerFolder server(bytes);
    AccountTable table;
    QVERIFY(table.load(server.path()).outcome == ReadOutcome::Done);
    QList<QByteArray> read;
    for (qsizetype i = 0; i < table.lineCount(); ++i)
        read.append(table.line(i).toByteArray());
    QCOMPARE(read, lines);
}

void AccountTableTest::malformedAgreesWithParseRecord_data()
{
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("well formed") << QByteArray("bob,pw,1,none,65535");
    QTest::newRow("well formed, not ASCII") << systemBytes(QStringLiteral("Ábel,pw,0,é,0"));
    QTest::newRow("well formed, long") << "bob," + QByteArray(300, 'p') + ",1,none,0";
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("six fields") << QByteArray("bob,pw,1,none,0,0");
    QTest::newRow("no username") << QByteArray(",pw,1,none,0");
    QTest::newRow("gender 01") << QByteArray("bob,pw,01,none,0");
    QTest::newRow("flags too high") << QByteArray("bob,pw,1,none,65536");
    QTest::newRow("flags six digits") << QByteArray("bob,pw,1,none,000001");
    QTest::newRow("not valid text") << QByteArray("b\xff,pw,1,none,0");
}

void AccountTableTest::malformedAgreesWithParseRecord()
{
    QFETCH(QByteArray, line);
    ServerFolder server("alice,pw,1,none,0\r\n" + line + "\r\n");
    AccountTable table;
    QVERIFY(table.load(server.path()).outcome == ReadOutcome::Done);
    const bool malformed = !parseRecord(line).malformed.isEmpty();
    QCOMPARE(table.isMalformed(1), malformed);
    QCOMPARE(table.malformedCount(), malformed ? 1 : 0);
}

void AccountTableTest::cancelledLoadLeavesItEmpty()
{
    AccountTable table;
    const std::atomic_bool cancel{true};
    QVERIFY(table.load(m_server.path()).outcome == ReadOutcome::Done);
    const AccountTable::LoadResult result = table.load(m_server.path(), {}, &cancel);
    QVERIFY(result.outcome == ReadOutcome::Cancelled && result.errorText.isEmpty());
    QCOMPARE(table.lineCount(), 0);
}

// A file of a few megabytes is read and looked at in parts, on two threads.
void AccountTableTest::largeFileKeepsEveryLinesKeys()
{
    QByteArray bytes;
    for (int i = 0; i < 100000; ++i) {
        const QString name =
            (i % 1000 == 999 ? QStringLiteral("É%1") : QStringLiteral("n%1")).arg(i);
        bytes += systemBytes(name) + (i % 7000 == 0 ? ",pw,2,none,0\r\n" : ",pw,1,none,0\r\n");
    }
    ServerFolder server(bytes);
    AccountTable table;
    QVERIFY(table.load(server.path()).outcome == ReadOutcome::Done);
    QCOMPARE(table.malformedCount(), 15);
    QCOMPARE(table.find(QStringLiteral("é99999")), 99999);
    QCOMPARE(table.filter(QStringLiteral("é?0999")),
             Indexes({10999, 20999, 30999, 40999, 50999, 60999, 70999, 80999, 90999}));
    Indexes indexes = table.filter(QStringLiteral("é"));
    table.sort(indexes, UsernameField, Qt::DescendingOrder);
    QCOMPARE(indexes.first(), 99999);
}

void AccountTableTest::filter_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Indexes>("kept");

    QTest::newRow("empty keeps all") << QString() << Indexes{0, 1, 2, 3, 4, 5};
    QTest::newRow("name or e-mail, any case, malformed too") << "DRA" << Indexes{1, 2, 3};
    QTest::newRow("e-mail") << "@example" << Indexes{0};
    QTest::newRow("non-ASCII folded") << "áBEL" << Indexes{1};
    QTest::newRow("folds to ASCII") << "SAM" << Indexes{4};
    QTest::newRow("star: the whole field") << "d*7" << Indexes{2};
    QTest::newRow("question mark: the whole field") << "?7@*" << Indexes{0};
    QTest::newRow("question mark takes a whole character") << "??bel" << Indexes{};
    QTest::newRow("only stars") << "**" << Indexes{0, 1, 2, 3, 4, 5};
    QTest::newRow("none") << "zz" << Indexes{};
}

void AccountTableTest::filter()
{
    QFETCH(QString, text);
    QFETCH(Indexes, kept);
    QCOMPARE(m_table.filter(text), kept);
}

void AccountTableTest::sort_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<Qt::SortOrder>("order");
    QTest::addColumn<Indexes>("sorted");

    // Equal keys (bob, BOB) keep their order either way; the malformed line stays last.
    QTest::newRow("username") << int(UsernameField) << Qt::AscendingOrder
                              << Indexes{0, 5, 2, 4, 1, 3};
    QTest::newRow("username, descending")
        << int(UsernameField) << Qt::DescendingOrder << Indexes{1, 4, 2, 0, 5, 3};
    QTest::newRow("e-mail") << int(EmailField) << Qt::AscendingOrder << Indexes{1, 5, 0, 2, 4, 3};
    QTest::newRow("password") << int(PasswordField) << Qt::AscendingOrder
                              << Indexes{4, 0, 1, 5, 2, 3};
    QTest::newRow("gender") << int(GenderField) << Qt::AscendingOrder << Indexes{1, 4, 0, 2, 5, 3};
    QTest::newRow("GM flags by number")
        << int(GmFlagsField) << Qt::AscendingOrder << Indexes{2, 0, 5, 1, 4, 3};
}

void AccountTableTest::sort()
{
    QFETCH(int, field);
    QFETCH(Qt::SortOrder, order);
    QFETCH(Indexes, sorted);
    Indexes indexes = m_table.filter(QString());
    m_table.sort(indexes, RecordField(field), order);
    QCOMPARE(indexes, sorted);
}

void AccountTableTest::find_data()
{
    QTest::addColumn<QString>("username");
    QTest::addColumn<qsizetype>("index");

    QTest::newRow("first of two in other case") << "BoB" << qsizetype(0);
    QTest::newRow("non-ASCII") << "ábel" << qsizetype(1);
    QTest::newRow("malformed line") << "drake" << qsizetype(3);
    QTest::newRow("part of a name") << "dra" << qsizetype(-1);
}

void AccountTableTest::find()
{
    QFETCH(QString, username);
    QFETCH(qsizetype, index);
    QCOMPARE(m_table.find(username), index);
}

QTEST_GUILESS_MAIN(AccountTableTest)
#include "tst_accounttable.moc"
