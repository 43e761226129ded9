#include "tests/support/KaddProcess.h"
#include "tests/support/ServerFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

namespace {

const QByteArray existing = "Alice,secret,1,none,0\r\n";

// Writes the batch into the working folder, or hands it over on standard input.
KaddResult runImport(const ServerFolder &server, const QByteArray &batch, bool viaInput,
                     const QStringList &options = {})
{
    QStringList arguments{QStringLiteral("import")};
    if (viaInput) {
        arguments << QStringLiteral("-");
    } else {
        QFile file(server.workFolder() + QStringLiteral("/batch.txt"));
        if (!file.open(QIODevice::WriteOnly) || file.write(batch) != batch.size())
            return {};
        arguments << file.fileName();
    }
    arguments << options << QStringLiteral("--app-dir") << server.path();
    return runKadd(arguments, server.workFolder(), viaInput ? batch : QByteArray());
}

} // namespace

class KaddImportTest : public QObject
{
    Q_OBJECT

private slots:
    void accepted_data();
    void accepted();
    void refused_data();
    void refused();
    void dryRunTouchesNothing_data();
    void dryRunTouchesNothing();
    void fileErrors();
};

void KaddImportTest::accepted_data()
{
    QTest::addColumn<QByteArray>("batch");
    QTest::addColumn<bool>("viaInput");
    QTest::addColumn<QByteArray>("added");
    QTest::addColumn<QStringList>("options");

    QTest::newRow("in order, defaults filled in")
        << QByteArray("carl,pw12,1,c@x.org,0\nanna,pw34,0,,384\nbert,pw56,1,,WARP+whois\n") << false
        << QByteArray("carl,pw12,1,c@x.org,0\r\nanna,pw34,0,none,384\r\n"
                      "bert,pw56,1,none,384\r\n")
        << QStringList();
    QTest::newRow("CR LF, blank and comment lines, no last line end")
        << QByteArray("# new players\r\n\r\ncarl,pw12,1,,\r\n   \r\n  # anna,pw34,0,,0\r\n"
                      "bert,pw56,0,b@x,65535")
        << false << QByteArray("carl,pw12,1,none,0\r\nbert,pw56,0,b@x,65535\r\n") << QStringList();
    QTest::newRow("byte-order mark")
        << QByteArray("\xEF\xBB\xBF"
                      "carl,pw12,1,,0\n")
        << false << QByteArray("carl,pw12,1,none,0\r\n") << QStringList();
    QTest::newRow("standard input")
        << QByteArray("carl,pw12,1,,0\nanna,pw34,0,,0\n") << true
        << QByteArray("carl,pw12,1,none,0\r\nanna,pw34,0,none,0\r\n") << QStringList();
    QTest::newRow("backup of the previous file")
        << QByteArray("carl,pw12,1,,0\n") << false << QByteArray("carl,pw12,1,none,0\r\n")
        << QStringList{"--backup"};
}

void KaddImportTest::accepted()
{
    QFETCH(QByteArray, batch);
    QFETCH(bool, viaInput);
    QFETCH(QByteArray, added);
    QFETCH(QStringList, options);
    ServerFolder server(existing);

    const KaddResult result = runImport(server, batch, viaInput, options);
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(server.accounts(), existing + added);
    QVERIFY(!QFileInfo::exists(server.tempFile()));
    QFile backup(server.accountFile() + QStringLiteral(".bak"));
    if (options.contains(QStringLiteral("--backup"))) {
        QVERIFY(backup.open(QIODevice::ReadOnly));
        QCOMPARE(backup.readAll(), existing);
    } else {
        QVERIFY(!backup.exists());
    }
}

void KaddImportTest::refused_data()
{
    QTest::addColumn<QByteArray>("batch");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("reports"); // every failing line, in order

    QTest::newRow("one bad line among good ones")
        << QByteArray("carl,pw12,1,,0\nbob,pw12,1,,0\nanna,pw34,0,,0\n") << 2
        << QStringList{"line 2: Invalid Length: User name must be 4 to 16 characters"};
    QTest::newRow("line numbers count blank, comment and CR LF lines")
        << QByteArray("# header\r\n\r\ncarl,pw 12,1,,0\r\n") << 2
        << QStringList{"line 3: No Spaces: No spaces in Password"};
    QTest::newRow("same name in another case in the batch")
        << QByteArray("carl,pw12,1,,0\nanna,pw34,0,,0\nCARL,pw56,1,,0\n") << 1
        << QStringList{"line 3: Username exist: CARL is also on line 1"};
    QTest::newRow("same name in another case in the file")
        << QByteArray("carl,pw12,1,,0\naLiCe,pw34,0,,0\n") << 1
        << QStringList{"line 2: Username exist: aLiCe is already in the account file"};
    QTest::newRow("duplicates and a rule: all reported, rule wins")
        << QByteArray("alice,pw12,1,,0\ncarl,pw,1,,0\nCarl,pw12,1,,0\n") << 2
        << QStringList{"line 1: Username exist: alice is already in the account file",
                       "line 2: Invalid Length: Password must be 4 to 16 characters",
                       "line 3: Username exist: Carl is also on line 2"};
#ifndef Q_OS_WIN
    // In UTF-8 only: the ANSI code page holds neither Greek nor a byte-order mark.
    QTest::newRow("same name in another case and composition in the batch")
        << QStringLiteral("Σίσυφος,pw12,1,,0\njose\u0301,pw34,0,,0\nΣΊΣΥΦΟΣ,pw56,1,,0\n"
                          "JOS\u00C9,pw78,1,,0\n")
               .toUtf8()
        << 1
        << QStringList{QStringLiteral("line 3: Username exist: ΣΊΣΥΦΟΣ is also on line 1"),
                       QStringLiteral("line 4: Username exist: JOS\u00C9 is also on line 2")};
    QTest::newRow("byte-order mark at the start of a later line")
        << QByteArray("carl,pw12,1,,0\n\xEF\xBB\xBF"
                      "anna,pw34,0,,0\n")
        << 2
        << QStringList{"line 2: Invalid Character: User Name contains a character that cannot "
                       "be stored"};
#endif
    QTest::newRow("bad fields") << QByteArray(
                                       "carl,pw12,M,,0\nanna,pw34,0,,65536\nbert,pw56,1,,FLY\n"
                                       "dora,pw78,1,none\nemil,pw,9,1,,0\n")
                                << 2
                                << QStringList{
                                       "line 1: gender must be 1 (male) or 0 (female), not 'M'",
                                       "line 2: gm must be a total", "line 3: gm must be a total",
                                       "line 4: expected 5 fields", "line 5: expected 5 fields"};
    QTest::newRow("character that cannot be stored")
        << QByteArray("carl,pw12,1,a\x01z,0\n") << 2
        << QStringList{"line 1: Invalid Character: Email contains a character that cannot be "
                       "stored"};
}

void KaddImportTest::refused()
{
    QFETCH(QByteArray, batch);
    QFETCH(int, exitCode);
    QFETCH(QStringList, reports);
    ServerFolder server(existing);

    const KaddResult result = runImport(server, batch, false);
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(server.accounts(), existing);
    const QStringList lines = QString::fromUtf8(result.err).split(u'\n', Qt::SkipEmptyParts);
    // The reports, then what was not done and, for names the file holds, what to do instead.
    QVERIFY(lines.size() > reports.size() && lines.size() <= reports.size() + 2);
    QVERIFY(lines.at(reports.size()).startsWith(QStringLiteral("kadd: Nothing imported")));
    for (int i = 0; i < reports.size(); ++i)
        QVERIFY2(lines.at(i).startsWith(QStringLiteral("kadd: ") + reports.at(i)),
                 qPrintable(lines.at(i)));
    QVERIFY(!QFileInfo::exists(server.tempFile()));
}

void KaddImportTest::dryRunTouchesNothing_data()
{
    QTest::addColumn<QByteArray>("batch");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QStringList>("options");

    const QStringList dryRun{QStringLiteral("--dry-run")};
    QTest::newRow("good batch") << QByteArray("carl,pw12,1,,0\nanna,pw34,0,,0\n") << 0
                                << QByteArray("Would create carl\nWould create anna\n") << dryRun;
    QTest::newRow("duplicate of the file")
        << QByteArray("carl,pw12,1,,0\nALICE,pw34,0,,0\n") << 1 << QByteArray() << dryRun;
    QTest::newRow("no backup either")
        << QByteArray("carl,pw12,1,,0\n") << 0 << QByteArray("Would create carl\n")
        << QStringList{"--dry-run", "--backup"};
}

void KaddImportTest::dryRunTouchesNothing()
{
    QFETCH(QByteArray, batch);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    QFETCH(QStringList, options);
    ServerFolder server(existing);
    const QDateTime modified = QFileInfo(server.accountFile()).lastModified();

    const KaddResult result = runImport(server, batch, true, options);
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(result.out, out);
    QCOMPARE(server.accounts(), existing);
    QCOMPARE(QFileInfo(server.accountFile()).lastModified(), modified);
    QVERIFY(QDir(server.workFolder()).isEmpty());
    QCOMPARE(QFileInfo(server.accountFile()).dir().entryList(QDir::Files), QStringList{"kAdd.txt"});
}

void KaddImportTest::fileErrors()
{
    ServerFolder server(existing);
    KaddResult result =
        runKadd({"import", "no-such-batch.txt", "--app-dir", server.path()}, server.workFolder());
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 64);

    QVERIFY(QFile::remove(server.accountFile()));
    for (const bool dryRun : {false, true}) {
        result = runImport(server, "carl,pw12,1,,0\n", true,
                           dryRun ? QStringList{QStringLiteral("--dry-run")} : QStringList{});
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, 3);
        QVERIFY(result.err.contains(QDir::toNativeSeparators(server.accountFile()).toUtf8()));
        QVERIFY(!QFileInfo::exists(server.accountFile()));
    }
}

QTEST_GUILESS_MAIN(KaddImportTest)
#include "tst_kadd_import.moc"
