#include "cli/CommandLine.h"
#include "cli/ExportCommand.h"
#include "cli/ImportBatch.h"
#include "cli/ListingLayout.h"

#include "tests/support/ServerFolder.h"

#include <QtTest>

// kadd list's two text layouts, in process: what a terminal shows against what a pipe gets.
class ListingLayoutTest : public QObject
{
    Q_OBJECT

private slots:
    void columnsHoldTheLinesRows_data();
    void columnsHoldTheLinesRows();
    void exportThenImportGivesTheSameFile();
};

namespace {

QStringList listed(const ServerFolder &server, bool passwords, ListLayout layout, int width)
{
    CommandLine line;
    line.applicationFolder = server.path();
    line.showPasswords = passwords;
    QByteArray out;
    const ListResult result =
        writeListing(line, layout, width, [&](const QByteArray &piece) { out += piece; });
    // kadd writes text in the system's code page, as its terminal shows it.
    return result.outcome == ReadOutcome::Done
               ? QString::fromLocal8Bit(out).split(u'\n', Qt::SkipEmptyParts)
               : QStringList();
}

} // namespace

void ListingLayoutTest::columnsHoldTheLinesRows_data()
{
    QTest::addColumn<bool>("passwords");
    QTest::addColumn<int>("width");

    QTest::newRow("wide") << false << 200;
    QTest::newRow("passwords, flag names cut") << true << 60;
}

// Every row of the piped form, in the same order, its cells starting under their headings; only
// a GM flag list too long for the terminal is cut, and says so.
void ListingLayoutTest::columnsHoldTheLinesRows()
{
    QFETCH(bool, passwords);
    QFETCH(int, width);
    ServerFolder server("alice,pw1,1,none,0\r\n"
                        "Zo\xC3\xAB,pw\xC3\xA9,0,z@x.org,65535\r\n"
                        "nocomma\r\n"
                        "esc\x1b,pw2,1,e@x,384\r\n");
    const QStringList lines = listed(server, passwords, ListLayout::Lines, width);
    QStringList rows = listed(server, passwords, ListLayout::Columns, width);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(rows.size(), lines.size() + 1);

    const QString header = rows.takeFirst();
    QStringList headings{"username", "gender", "e-mail", "GM flags"};
    if (passwords)
        headings.insert(1, "password");
    for (int i = 0; i < rows.size(); ++i) {
        const QString &row = rows.at(i);
        const QStringList cells = lines.at(i).split(u'\t');
        QCOMPARE(row.section(u' ', 0, 0, QString::SectionSkipEmpty), QString::number(i + 1));
        if (cells.size() == 2) { // not a well-formed record: its name, then why
            QCOMPARE(row.mid(header.indexOf("username"), cells.at(0).size()), cells.at(0));
            QVERIFY(row.endsWith("  " + cells.at(1)));
            continue;
        }
        QCOMPARE(cells.size(), headings.size() + 1);
        for (int c = 0; c + 1 < headings.size(); ++c)
            QCOMPARE(row.mid(header.indexOf(headings.at(c)), cells.at(c).size()), cells.at(c));
        const QString gm = (cells.at(cells.size() - 2) + u' ' + cells.last()).trimmed();
        const qsizetype gmStart = header.indexOf("GM flags");
        const QString shown = row.mid(gmStart);
        if (gm.size() <= width - gmStart) {
            QCOMPARE(shown, gm);
        } else {
            QCOMPARE(row.size(), width);
            QVERIFY(shown.endsWith(QChar(0x2026)));
            QVERIFY(gm.startsWith(shown.chopped(1)));
            QVERIFY(shown.startsWith(cells.at(cells.size() - 2) + u' '));
        }
    }
}

// kadd export | kadd import --app-dir OTHER - into an empty account file copies it byte for byte.
void ListingLayoutTest::exportThenImportGivesTheSameFile()
{
    const QByteArray accounts = "alice,pw1234,1,none,0\r\n"
                                "Zo\xC3\xABlle,pw\xC3\xA9"
                                "1234,0,z@x.org,65535\r\n"
                                "bobby,pw5678,0,b@x.org,384\r\n";
    ServerFolder source(accounts);
    ServerFolder target;
    QByteArray exported;
    const ExportResult result =
        writeExport(source.path(), {}, [&](const QByteArray &piece) { exported += piece; });
    QVERIFY(result.outcome == ReadOutcome::Done);
    QCOMPARE(result.leftOut, 0);
    QCOMPARE(exported, accounts); // the file's own lines, passwords and CR LF ends included

    const ImportBatch batch = readImportBatch(exported);
    QVERIFY(batch.problems.isEmpty());
    const WorkingFolder working(target.workFolder());
    QCOMPARE(AddAccounts(target.path(), batch.accounts).outcome, AddOutcome::Created);
    QCOMPARE(target.accounts(), accounts);
}

QTEST_GUILESS_MAIN(ListingLayoutTest)
#include "tst_listinglayout.moc"
