#include "core/AccountEdit.h"
#include "core/AccountFile.h"
#include "core/AccountRecord.h"
#include "core/ListAccounts.h"
#include "core/internal/format/AccountFileFormat.h"
#include "core/internal/format/NameKey.h"
#include "core/internal/scan/UsernameScanner.h"
#include "tests/support/FaultInjection.h"
#include "tests/support/ServerFolder.h"
#include "tests/support/SystemCodePage.h"

#include <QFileInfo>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

// Adding accounts to the server's account file: which names count as taken, and that every
// existing line survives byte for byte (apart from its line end) with the new record last.
class AccountFileTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { FaultInjection::reset(); }

    void takenNameLeavesFileUntouched_data();
    void takenNameLeavesFileUntouched();
    void newNameIsAppendedAfterEveryLine_data();
    void newNameIsAppendedAfterEveryLine();
    void staleTempFileIsEmptiedFirst();
    void batchAppendsAllInOrder();
    void batchWithTakenNamesAddsNone();
    void checkOnlyChangesNothing();
    void symbolicLinkStaysALink();
    void accessRightsAreKept();
    void chunkSizeDoesNotMatter_data();
    void chunkSizeDoesNotMatter();
    void sameNameInAnyCaseOrComposition_data();
    void sameNameInAnyCaseOrComposition();
    void duplicateIsOnTheLineFindAccountTells_data();
    void duplicateIsOnTheLineFindAccountTells();
};

namespace {

// The bytes of a literal, embedded NUL bytes included.
template <qsizetype N> QByteArray raw(const char (&bytes)[N])
{
    return QByteArray(bytes, N - 1);
}

QString recordOf(const QString &name)
{
    return name + QStringLiteral(",pw,1,none,0");
}

} // namespace

void AccountFileTest::takenNameLeavesFileUntouched_data()
{
    QTest::addColumn<QByteArray>("accounts");
    QTest::addColumn<QString>("username");

    const QByteArray three = "alice,pw,1,none,0\r\nbob,pw,0,b@x,384\r\ncarol,pw,1,none,0\r\n";
    QTest::newRow("other case, lower") << QByteArray("Alice,pw,1,none,0\r\n") << "alice";
    QTest::newRow("other case, upper") << QByteArray("Alice,pw,1,none,0\r\n") << "ALICE";
    QTest::newRow("first line") << three << "ALICE";
    QTest::newRow("middle line") << three << "Bob";
    QTest::newRow("last line") << three << "carol";
    QTest::newRow("last line without an end") << three.chopped(2) << "carol";
    QTest::newRow("line without a comma is a whole name")
        << QByteArray("bob,pw,1,none,0\r\nalice\r\n") << "Alice";
    QTest::newRow("LF line ends") << QByteArray("bob,1\nalice,2\ncarol,3\n") << "ALICE";
    QTest::newRow("CR line ends") << QByteArray("bob,1\ralice,2\rcarol,3\r") << "alice";
    QTest::newRow("after a byte-order mark") << QByteArray("\xEF\xBB\xBF"
                                                           "alice,pw,1,none,0\r\n")
                                             << "Alice";
    QTest::newRow("non-ASCII name, other case")
        << systemBytes(QStringLiteral("bob,1\r\nÄrger,pw,1,none,0\r\n")) << QStringLiteral("ärger");
    QTest::newRow("non-ASCII name, all upper")
        << systemBytes(QStringLiteral("ärger,pw,1,none,0\r\n")) << QStringLiteral("ÄRGER");
    QTest::newRow("after invalid and NUL bytes")
        << raw("\xFF\xFE,\x80\r\n\0\0,x\r\nalice,1\r\n") << "alice";
}

void AccountFileTest::takenNameLeavesFileUntouched()
{
    QFETCH(QByteArray, accounts);
    QFETCH(QString, username);

    ServerFolder server(accounts);
    WorkingFolder working(server.workFolder());
    const AddAccountResult result = AddAccount(server.path(), username, recordOf(username));
    QCOMPARE(result.outcome, AddOutcome::Duplicate);
    QCOMPARE(server.accounts(), accounts);
    QVERIFY(RemoveTempFile());
    QCOMPARE(server.leftovers(), QStringList());
}

void AccountFileTest::newNameIsAppendedAfterEveryLine_data()
{
    QTest::addColumn<QByteArray>("accounts");
    QTest::addColumn<QString>("username");
    QTest::addColumn<QByteArray>("expected"); // without the new record

    QTest::newRow("empty file") << QByteArray() << "alice" << QByteArray();
    QTest::newRow("whole field: alicex is not alice")
        << QByteArray("alicex,pw,1,none,0\r\n") << "alice" << QByteArray("alicex,pw,1,none,0\r\n");
    QTest::newRow("whole field: ali is not alice")
        << QByteArray("ali,pw\r\nalic\r\n") << "alice" << QByteArray("ali,pw\r\nalic\r\n");
    QTest::newRow("alice in a later field")
        << QByteArray("bob,alice,1\r\n") << "alice" << QByteArray("bob,alice,1\r\n");
    QTest::newRow("last line gets an end")
        << QByteArray("bob,pw,1,none,0") << "alice" << QByteArray("bob,pw,1,none,0\r\n");
    QTest::newRow("LF only") << QByteArray("a,1\nb,2\n") << "alice" << QByteArray("a,1\r\nb,2\r\n");
    QTest::newRow("CR only") << QByteArray("a,1\rb,2\r") << "alice" << QByteArray("a,1\r\nb,2\r\n");
    QTest::newRow("mixed ends, CR CR LF is two lines")
        << QByteArray("a,1\r\r\nb,2\n\rc") << "alice" << QByteArray("a,1\r\n\r\nb,2\r\n\r\nc\r\n");
    QTest::newRow("empty lines and empty names never match")
        << QByteArray("\r\n\n,,,\r\n") << "alice" << QByteArray("\r\n\r\n,,,\r\n");
    QTest::newRow("invalid UTF-8 and NUL bytes copied unchanged")
        << raw("\xFF\xFE,\x00\x80\r\n\0bob\xC3(,\xC3\r\n") << "alice"
        << raw("\xFF\xFE,\x00\x80\r\n\0bob\xC3(,\xC3\r\n");
    QTest::newRow("byte-order mark kept") << QByteArray("\xEF\xBB\xBF"
                                                        "bob,1\r\n")
                                          << "alice"
                                          << QByteArray("\xEF\xBB\xBF"
                                                        "bob,1\r\n");
    QTest::newRow("byte-order mark alone")
        << QByteArray("\xEF\xBB\xBF") << "alice" << QByteArray("\xEF\xBB\xBF");
    QTest::newRow("half a byte-order mark is part of the name") << QByteArray("\xEF\xBB"
                                                                              "alice,1")
                                                                << "alice"
                                                                << QByteArray("\xEF\xBB"
                                                                              "alice,1\r\n");
    QTest::newRow("very long name field") << QByteArray(5000, 'a') + ",1"
                                          << "aaaa" << QByteArray(5000, 'a') + ",1\r\n";
    QTest::newRow("non-ASCII names differ")
        << systemBytes(QStringLiteral("ärger,1\r\n")) << QStringLiteral("örger")
        << systemBytes(QStringLiteral("ärger,1\r\n"));
}

void AccountFileTest::newNameIsAppendedAfterEveryLine()
{
    QFETCH(QByteArray, accounts);
    QFETCH(QString, username);
    QFETCH(QByteArray, expected);

    ServerFolder server(accounts);
    WorkingFolder working(server.workFolder());
    const AddAccountResult result = AddAccount(server.path(), username, recordOf(username));
    QCOMPARE(result.outcome, AddOutcome::Created);
    QCOMPARE(result.errorText, QString());
    QCOMPARE(server.accounts(), expected + systemBytes(recordOf(username)) + "\r\n");
    QCOMPARE(server.leftovers(), QStringList());
}

void AccountFileTest::staleTempFileIsEmptiedFirst()
{
    ServerFolder server("bob,1\r\n");
    WorkingFolder working(server.workFolder());
    QFile stale(server.tempFile());
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.write(QByteArray(100, 'x'));
    stale.close();

    QCOMPARE(AddAccount(server.path(), "alice", recordOf("alice")).outcome, AddOutcome::Created);
    QCOMPARE(server.accounts(), QByteArray("bob,1\r\nalice,pw,1,none,0\r\n"));
    QCOMPARE(server.leftovers(), QStringList());
}

void AccountFileTest::batchAppendsAllInOrder()
{
    ServerFolder server("alice,1\n");
    WorkingFolder working(server.workFolder());
    const BatchResult result = AddAccounts(
        server.path(), {{"carol", recordOf("carol")}, {"bob", recordOf("bob")}, {"dave", "dave"}});
    QCOMPARE(result.outcome, AddOutcome::Created);
    QCOMPARE(result.alreadyTaken, QList<int>());
    QCOMPARE(server.accounts(),
             QByteArray("alice,1\r\ncarol,pw,1,none,0\r\nbob,pw,1,none,0\r\ndave\r\n"));
    QCOMPARE(server.leftovers(), QStringList());
}

void AccountFileTest::batchWithTakenNamesAddsNone()
{
    const QByteArray accounts = "zed,1\r\nbob\r\nALICE,2\n";
    ServerFolder server(accounts);
    WorkingFolder working(server.workFolder());
    const BatchResult result = AddAccounts(server.path(), {{"carol", recordOf("carol")},
                                                           {"alice", recordOf("alice")},
                                                           {"dave", recordOf("dave")},
                                                           {"Zed", recordOf("Zed")}});
    QCOMPARE(result.outcome, AddOutcome::Duplicate);
    QCOMPARE(result.alreadyTaken, (QList<int>{3, 1})); // in the order the file holds them
    QCOMPARE(server.accounts(), accounts);
    QCOMPARE(server.leftovers(), QStringList());
}

void AccountFileTest::checkOnlyChangesNothing()
{
    const QByteArray accounts = "zed,1\nbob\rALICE,2"; // a write would rewrite the line ends
    ServerFolder server(accounts);
    WorkingFolder working(server.workFolder());

    BatchResult result =
        AddAccounts(server.path(), {{"carol", "carol"}, {"alice", "alice"}}, BatchMode::CheckOnly);
    QCOMPARE(result.outcome, AddOutcome::Duplicate);
    QCOMPARE(result.alreadyTaken, QList<int>{1});

    result = AddAccounts(server.path(), {{"carol", "carol"}}, BatchMode::CheckOnly);
    QCOMPARE(result.outcome, AddOutcome::Created);
    QCOMPARE(result.alreadyTaken, QList<int>());
    QCOMPARE(server.accounts(), accounts);
    QCOMPARE(server.leftovers(), QStringList());
}

void AccountFileTest::symbolicLinkStaysALink()
{
#ifdef Q_OS_UNIX
    ServerFolder server;
    const QString target = server.path() + QStringLiteral("/accounts-real.txt");
    QFile::remove(server.accountFile());
    QFile real(target);
    QVERIFY(real.open(QIODevice::WriteOnly));
    real.write("bob,1\r\n");
    real.close();
    QVERIFY(QFile::link(QStringLiteral("../../accounts-real.txt"), server.accountFile()));
    WorkingFolder working(server.workFolder());

    QCOMPARE(AddAccount(server.path(), "alice", recordOf("alice")).outcome, AddOutcome::Created);
    QVERIFY(QFileInfo(server.accountFile()).isSymLink());
    QCOMPARE(QFileInfo(server.accountFile()).symLinkTarget(), QFileInfo(target).filePath());
    QCOMPARE(server.accounts(), QByteArray("bob,1\r\nalice,pw,1,none,0\r\n"));
    QCOMPARE(AddAccount(server.path(), "BOB", recordOf("BOB")).outcome, AddOutcome::Duplicate);
    QVERIFY(QFileInfo(server.accountFile()).isSymLink());
    QCOMPARE(server.leftovers(), QStringList());
#else
    QSKIP("symbolic links are a POSIX matter here");
#endif
}

void AccountFileTest::accessRightsAreKept()
{
#ifdef Q_OS_UNIX
    ServerFolder server("bob,1\r\n");
    const QByteArray path = QFile::encodeName(server.accountFile());
    QCOMPARE(::chmod(path.constData(), 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root)
        QCOMPARE(::chown(path.constData(), 1234, 5678), 0);
    WorkingFolder working(server.workFolder());

    QCOMPARE(AddAccount(server.path(), "alice", recordOf("alice")).outcome, AddOutcome::Created);
    struct stat after;
    QCOMPARE(::stat(path.constData(), &after), 0);
    QCOMPARE(after.st_mode & 07777, mode_t(0640));
    if (root) {
        QCOMPARE(after.st_uid, uid_t(1234));
        QCOMPARE(after.st_gid, gid_t(5678));
    }
#else
    QSKIP("permission bits are a POSIX matter here");
#endif
}

void AccountFileTest::chunkSizeDoesNotMatter_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<int>>("found"); // indexes into the names below
    QTest::addColumn<int>("line");         // of the first found
    QTest::addColumn<QString>("spelling"); // of the first found

    QTest::newRow("mixed line ends and a byte-order mark")
        << raw("\xEF\xBB\xBF"
               "Alice,1\r\nbob\r\r\n\ncarol,x\rDAVE,\xFF\0\r\n") +
               systemBytes(QStringLiteral("Ärger,2\n,,\r\nLast"))
        << QList<int>{3, 4, 0, 1, 2} << 1 << "Alice";
    QTest::newRow("CR LF on every boundary")
        << raw("a\r\nbb\r\nccc\r\n\r\nbob") << QList<int>{4} << 5 << "bob";
    QTest::newRow("lone CRs") << raw("\r\r\rab,\r\rcd\r") << QList<int>{} << 0 << QString();
    QTest::newRow("lone CRs before a name not in ASCII")
        << raw("\xEF\xBB\xBFx\ry\r\r\n\n\rz,\r\n") + systemBytes(QStringLiteral("ÄRGER,2\r\n"))
        << QList<int>{1} << 7 << QStringLiteral("ÄRGER");
    QTest::newRow("half a byte-order mark")
        << raw("\xEF\xBB\r\nlast") << QList<int>{2} << 2 << "last";
    QTest::newRow("only a byte-order mark")
        << raw("\xEF\xBB\xBF") << QList<int>{} << 0 << QString();
    QTest::newRow("one name, no line end") << raw("alice") << QList<int>{3} << 1 << "alice";
}

// The update reads the file in large chunks, but a line end, a name or the byte-order mark may
// straddle any two of them.
void AccountFileTest::chunkSizeDoesNotMatter()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<int>, found);
    QFETCH(int, line);
    QFETCH(QString, spelling);
    const QStringList names = {"dave", QStringLiteral("ärger"), "last", "alice", "bob"};

    for (const auto stop : {UsernameScanner::Stop::Never, UsernameScanner::Stop::AtFirstMatch}) {
        const auto run = [&](qsizetype chunk, QByteArray &out) {
            UsernameScanner scanner(names, stop);
            bool goOn = true;
            for (qsizetype at = 0; goOn && at < bytes.size(); at += chunk)
                goOn = scanner.feed(
                    QByteArrayView(bytes).sliced(at).first(std::min(chunk, bytes.size() - at)),
                    out);
            if (goOn)
                goOn = scanner.finish(out);
            return std::make_tuple(goOn, scanner.matches(), scanner.firstMatchLine(),
                                   scanner.firstMatchName());
        };
        QByteArray whole;
        const auto expected = run(std::max<qsizetype>(bytes.size(), 1), whole);
        QCOMPARE(std::get<1>(expected),
                 stop == UsernameScanner::Stop::Never ? found : found.mid(0, 1));
        QCOMPARE(std::get<0>(expected), stop == UsernameScanner::Stop::Never || found.isEmpty());
        QCOMPARE(std::get<2>(expected), qint64(line));
        QCOMPARE(std::get<3>(expected), spelling);
        for (qsizetype chunk = 1; chunk < bytes.size(); ++chunk) {
            QByteArray out;
            const auto got = run(chunk, out);
            // What was copied before a match ended the scan is thrown away, so only a full scan's
            // copy must not depend on the chunks.
            QVERIFY2(got == expected && (!std::get<0>(got) || out == whole),
                     qPrintable(QStringLiteral("chunks of %1").arg(chunk)));
        }
    }
}

void AccountFileTest::sameNameInAnyCaseOrComposition_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("same");

    QTest::newRow("final and medial sigma")
        << QStringLiteral("Σίσυφος") << QStringLiteral("ΣΊΣΥΦΟΣ") << true;
    QTest::newRow("long s, typed ASCII") << QStringLiteral("ſamuel") << "SAMUEL" << true;
    QTest::newRow("long s, stored ASCII") << "Samuel" << QStringLiteral("ſamuel") << true;
    QTest::newRow("Kelvin sign") << "kelvin" << QStringLiteral("\u212Aelvin") << true;
    QTest::newRow("micro sign and mu")
        << QStringLiteral("µnits") << QStringLiteral("ΜNITS") << true;
    QTest::newRow("precomposed and decomposed")
        << QStringLiteral("jos\u00E9") << QStringLiteral("JOSE\u0301") << true;
    QTest::newRow("sharp s is not ss") << QStringLiteral("straße") << "STRASSE" << false;
    QTest::newRow("long s is not another letter") << QStringLiteral("ſamuel") << "tamuel" << false;
}

// Every way names are compared (the matcher of the edits, the add's scanner with its ASCII path,
// a list pattern), in both directions: what is stored may be typed and what is typed stored.
void AccountFileTest::sameNameInAnyCaseOrComposition()
{
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(bool, same);
    if (!systemCodePageHolds(stored + typed))
        QSKIP("the system's code page cannot hold these names");

    // Enough plain lines around the name for the scan of 64 bytes at a time to see it.
    const QByteArray plainLines = QByteArray("bob,pw,1,none,0\r\n").repeated(10);
    for (const auto &[inFile, name] : {std::pair(stored, typed), std::pair(typed, stored)}) {
        const QByteArray field = systemBytes(inFile);
        QCOMPARE(NameMatcher(name).matches(field), same);
        QCOMPARE(AccountPattern(name).matches(inFile), same);
        UsernameScanner scanner({name}, UsernameScanner::Stop::Never);
        QVERIFY(scanner.feed(plainLines + field + ",pw,1,none,0\r\n" + plainLines, nullptr) &&
                scanner.finish(nullptr));
        QCOMPARE(scanner.matches(), same ? QList<int>{0} : QList<int>());
    }
}

void AccountFileTest::duplicateIsOnTheLineFindAccountTells_data()
{
    QTest::addColumn<QByteArray>("bytes");

    // Plain lines enough for the scan of 64 bytes at a time between lone CRs and LFs, a lone CR
    // that ends the first chunk read and a CR LF split between the next two.
    const QByteArray plain = QByteArray("player,pw,1,none,0\r\n").repeated(40);
    QByteArray odd = "\xEF\xBB\xBF" + plain + "x\r" + plain + "\n\r\n\r" + plain;
    const auto endAt = [&](qint64 at, const char *end) {
        while (odd.size() + plain.size() < at)
            odd += plain;
        odd += QByteArray(at - odd.size(), 'x') + end;
    };
    endAt(AccountFileFormat::chunkSize - 1, "\ry");
    endAt(2 * AccountFileFormat::chunkSize - 1, "\r\n");
    const QByteArray carol = "Carol,pw,1,none,0\r\n" + plain;
    QTest::newRow("after odd line ends") << odd + carol;
    // Past 8 MiB the file is read in two halves at once.
    QTest::newRow("in the second half of a long file") << odd.repeated(18) + carol;
}

// The add tells the line of a duplicate from its own scan; the edits find it line by line.
void AccountFileTest::duplicateIsOnTheLineFindAccountTells()
{
    QFETCH(QByteArray, bytes);
    const QString typed = "cAROL";
    ServerFolder server(bytes);
    const FindResult oracle = FindAccount(server.path(), typed);
    QCOMPARE(oracle.outcome, EditOutcome::Done);

    for (const bool narrow : {false, true}) {
        FaultInjection::setNarrowVectors(narrow);
        const AddAccountResult result = AddAccount(server.path(), typed, recordOf(typed));
        QCOMPARE(result.outcome, AddOutcome::Duplicate);
        QCOMPARE(result.duplicateLine, oracle.lineNumber);
        QCOMPARE(result.duplicateName, oracle.usernameInFile);
    }
}

QTEST_GUILESS_MAIN(AccountFileTest)
#include "tst_accountfile.moc"
