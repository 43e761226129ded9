#include "core/AccountEdit.h"
#include "core/AccountFile.h"
#include "core/internal/format/AccountFileFormat.h"
#include "core/internal/scan/PlainLines.h"
#include "core/internal/scan/UsernameScanner.h"
#include "tests/support/FaultInjection.h"
#include "tests/support/ModelLines.h"
#include "tests/support/ServerFolder.h"

#include <QFileInfo>
#include <QTest>

// An add copies what needs no change through the system and streams the rest through the
// scanner. Whatever the line ends and wherever the reads cut them, the result must be the file
// that streaming every byte gives; a duplicate writes nothing at all; and a file changed between
// the scan and the copy is never copied unchecked. An edit copies the bytes around the
// account's line through the system the same way, and must give what streaming gives.
class CopyPathsTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { FaultInjection::reset(); }
    void cleanup() { FaultInjection::reset(); }

    void systemCopyAndStreamingAgree_data();
    void systemCopyAndStreamingAgree();
    void duplicateWritesNothing();
    void nameAmongPlainLines_data();
    void nameAmongPlainLines();
    void nameAtEveryStartInTheRuns_data();
    void nameAtEveryStartInTheRuns();
    void lineOfTheNameAtEveryStartInTheRuns();
    void widestVectorsWhereTheProcessorHasThem();
    void fileChangedAfterTheScan_data();
    void fileChangedAfterTheScan();
    void largeFileReadInHalves_data();
    void largeFileReadInHalves();
    void editCopyAndStreamingAgree_data();
    void editCopyAndStreamingAgree();
    void givenLinesRemoved_data();
    void givenLinesRemoved();
};

namespace {

// The add reads the account file this many bytes at a time.
constexpr qsizetype readSize = AccountFileFormat::chunkSize;

const QString carol = QStringLiteral("carol,pw,1,none,0");

// Every line with a CR LF end, as the copy must have it.
QByteArray withCrLfEnds(const QByteArray &bytes)
{
    const QByteArrayView mark = AccountFileFormat::byteOrderMark;
    QByteArray out = bytes.startsWith(mark) ? mark.toByteArray() : QByteArray();
    for (const QByteArray &line : modelLines(bytes.mid(out.size())))
        out += line + "\r\n";
    return out;
}

// Lines of filler up to exactly offset, then tail: a line end of tail's choosing lands on a
// read boundary.
QByteArray fillTo(qsizetype offset, const QByteArray &tail)
{
    const QByteArray line = "someone,pw,1,none,0\r\n";
    QByteArray bytes = line.repeated(offset / line.size());
    bytes += QByteArray(offset - bytes.size(), 'x');
    return bytes + tail;
}

// Read in three chunks, every line end a CR LF.
QByteArray scanned()
{
    return fillTo(2 * readSize, "\r\nbob,pw,1,none,0\r\n");
}

QByteArray addCarol(const QByteArray &before, bool streamingOnly)
{
    ServerFolder server(before);
    WorkingFolder working(server.workFolder());
    FaultInjection::setStreamingCopyOnly(streamingOnly);
    const AddOutcome outcome = AddAccount(server.path(), QStringLiteral("carol"), carol).outcome;
    FaultInjection::setStreamingCopyOnly(false);
    if (outcome != AddOutcome::Created || QFileInfo::exists(server.tempFile()))
        return "failed";
    return server.accounts();
}

// What an edit of carol's account tells and leaves behind, as one text.
QByteArray editCarol(const QByteArray &before, bool remove, bool streamingOnly)
{
    ServerFolder server(before);
    WorkingFolder working(server.workFolder());
    AccountEdit edit;
    edit.username = QStringLiteral("carol");
    edit.remove = remove;
    if (!remove)
        edit.values = {{PasswordField, QStringLiteral("newpass")}};
    FaultInjection::setStreamingCopyOnly(streamingOnly);
    EditResult result = EditAccount(server.path(), edit);
    FaultInjection::setStreamingCopyOnly(false);
    return QByteArray::number(int(result.outcome)) + " line " +
           QByteArray::number(result.lineNumber) + ' ' +
           result.errorText.remove(QDir::toNativeSeparators(server.path())).toUtf8() + '\n' +
           (QFileInfo::exists(server.tempFile()) ? "kAdd.tmp left" : server.accounts());
}

} // namespace

void CopyPathsTest::systemCopyAndStreamingAgree_data()
{
    QTest::addColumn<QList<QByteArray>>("files");

    // Three lines, each ended by CR LF, LF, a lone CR or (the last) nothing, after an optional
    // byte-order mark.
    QList<QByteArray> mixes;
    const QList<QByteArray> ends{"\r\n", "\n", "\r", ""};
    for (const QByteArray &start : {QByteArray(), QByteArray("\xEF\xBB\xBF")}) {
        for (const QByteArray &first : ends.mid(0, 3)) {
            for (const QByteArray &second : ends.mid(0, 3)) {
                for (const QByteArray &third : ends)
                    mixes << start + "alice,1" + first + "bob,2" + second + "dave,3" + third;
            }
        }
    }
    mixes << QByteArray() << QByteArray("\xEF\xBB\xBF") << QByteArray("\r\n\n\r");
    QTest::newRow("every mix of line ends") << mixes;

    // The same after plain lines that fill one to two runs of 64 bytes, so that each line end
    // of the mix falls somewhere else in the run that the scan looks at whole.
    QList<QByteArray> afterPlain;
    for (const QByteArray &mix : std::as_const(mixes)) {
        const bool marked = mix.startsWith("\xEF\xBB\xBF");
        for (int lines = 3; lines <= 6; ++lines)
            afterPlain << mix.left(marked ? 3 : 0) + QByteArray("someone,pw\r\n").repeated(lines) +
                              mix.mid(marked ? 3 : 0);
    }
    QTest::newRow("every mix after plain lines") << afterPlain;

    QList<QByteArray> cut;
    for (const qsizetype at : {readSize - 2, readSize - 1, readSize}) {
        cut << fillTo(at, "\r\nbob,1\r\n") << fillTo(at, "\nbob,1\r\n") << fillTo(at, "\rbob,1\r\n")
            << fillTo(at, "\r\nbob,1");
    }
    QTest::newRow("line ends where a read ends") << cut;
}

void CopyPathsTest::systemCopyAndStreamingAgree()
{
    QFETCH(QList<QByteArray>, files);
    for (const QByteArray &before : std::as_const(files)) {
        const QByteArray streamed = addCarol(before, true);
        const QByteArray copied = addCarol(before, false);
        const QByteArray expected = withCrLfEnds(before) + carol.toUtf8() + "\r\n";
        QVERIFY2(streamed == expected, before.right(40).toHex(' ').constData());
        QVERIFY2(copied == expected, before.right(40).toHex(' ').constData());
    }
}

// A kAdd.tmp left from before stays exactly as it was: nothing was created, opened or removed.
void CopyPathsTest::duplicateWritesNothing()
{
    ServerFolder server(fillTo(3 * readSize, "\r\ncarol,pw,1,none,0\n"));
    WorkingFolder working(server.workFolder());
    QFile stale(server.tempFile());
    QVERIFY(stale.open(QIODevice::WriteOnly) && stale.write("stale") == 5);
    stale.close();
    const QDateTime staleTime = QFileInfo(stale).lastModified();
    const QByteArray before = server.accounts();

    QCOMPARE(AddAccount(server.path(), QStringLiteral("CAROL"), carol).outcome,
             AddOutcome::Duplicate);
    QCOMPARE(server.accounts(), before);
    QVERIFY(stale.open(QIODevice::ReadOnly));
    QCOMPARE(stale.readAll(), QByteArray("stale"));
    QCOMPARE(QFileInfo(stale).lastModified(), staleTime);
    QCOMPARE(QDir(server.workFolder()).entryList(QDir::Files | QDir::Hidden),
             QStringList{"kAdd.tmp"});
}

void CopyPathsTest::nameAmongPlainLines_data()
{
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<QString>("username");
    QTest::addColumn<bool>("taken");

    const QString c = QStringLiteral("carol");
    QTest::newRow("same case") << QByteArray("carol,pw\r\n") << c << true;
    QTest::newRow("other case, no other field") << QByteArray("CaRoL\r\n") << c << true;
    QTest::newRow("lone CR end") << QByteArray("Carol\r") << c << true;
    QTest::newRow("after a lone CR") << QByteArray("x\rcarol,1\r\n") << c << true;
    QTest::newRow("after an LF end") << QByteArray("x\ncarol,1\r\n") << c << true;
    QTest::newRow("in a line of 100 bytes") << "carol," + QByteArray(94, 'x') + "\r\n" << c << true;
    QTest::newRow("after a line of 150 bytes") << QByteArray(148, 'y') + "\r\ncarol\r\n"
                                               << c << true;
    QTest::newRow("after a non-ASCII name") << QByteArray("b\xC3\xA9"
                                                          "a,1\r\ncarol\r\n")
                                            << c << true;
    QTest::newRow("a longer name") << QByteArray("carolyn,pw\r\n") << c << false;
    QTest::newRow("in a later field") << QByteArray("bob,carol\r\n") << c << false;
    QTest::newRow("empty name field") << QByteArray(",carol\r\n") << c << false;
#ifndef Q_OS_WIN
    // The Kelvin sign, three bytes in UTF-8, is a capital K: the name field is "kim".
    QTest::newRow("Kelvin sign") << QByteArray("\xE2\x84\xAAim,1\r\n") << QStringLiteral("kim")
                                 << true;
#endif
}

// Plain lines are looked at 64 bytes at a time, with the widest vectors the processor has and
// with those of every x86-64: a name must be found wherever that run cuts it.
void CopyPathsTest::nameAmongPlainLines()
{
    QFETCH(QByteArray, lines);
    QFETCH(QString, username);
    QFETCH(bool, taken);

    for (const bool narrow : {false, true}) {
        FaultInjection::setNarrowVectors(narrow);
        for (int plain = 0; plain < 8; ++plain) {
            const QByteArray before = QByteArray("someone,pw\r\n").repeated(plain) + lines +
                                      QByteArray("someone,pw\r\n").repeated(8);
            ServerFolder server(before);
            WorkingFolder working(server.workFolder());
            const AddOutcome outcome =
                AddAccount(server.path(), username, username + QStringLiteral(",pw,1,none,0"))
                    .outcome;
            QCOMPARE(outcome, taken ? AddOutcome::Duplicate : AddOutcome::Created);
        }
    }
}

void CopyPathsTest::nameAtEveryStartInTheRuns_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("inFile");

    QTest::newRow("ASCII") << QStringLiteral("dupe0000") << QByteArray("DUPE0000");
#ifndef Q_OS_WIN
    // As long in bytes as an ASCII name looked for, so the runs hand it over, their bytes of
    // 0x80 and above standing in the next run where it crosses into one.
    QTest::newRow("not ASCII") << QStringLiteral("dup\u00e9000")
                               << QByteArray("DUP\xC3\x89"
                                             "000");
#endif
}

// A line that starts right after a run of 64 bytes ends is known to start only from the line
// feed in the run before: the taken name is moved over every byte of the first three runs after
// the first line (a line ended in CR LF cannot be 1 byte long).
void CopyPathsTest::nameAtEveryStartInTheRuns()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, inFile);
    const QByteArray after = QByteArray("someone,pw\r\n").repeated(24);
    for (const bool narrow : {false, true}) {
        FaultInjection::setNarrowVectors(narrow);
        for (int offset = 0; offset < 192; offset += offset == 0 ? 2 : 1) {
            const QByteArray before =
                offset == 0 ? QByteArray() : QByteArray(offset - 2, 'x') + "\r\n";
            UsernameScanner scanner({QStringLiteral("plain000"), name},
                                    UsernameScanner::Stop::AtFirstMatch);
            if (scanner.feed("first,pw\r\n" + before + inFile + ",pw\r\n" + after, nullptr))
                scanner.finish(nullptr);
            QVERIFY2(scanner.matches() == QList<int>{1},
                     qPrintable(QStringLiteral("offset %1, narrow %2").arg(offset).arg(narrow)));
        }
    }
}

// An edit copies around the line the scan found: the scan must tell where that line starts, and
// count each line that names the account once, however the runs handed it over.
void CopyPathsTest::lineOfTheNameAtEveryStartInTheRuns()
{
    // Both lines end where the runs stop, which hand back the last line they looked at.
    const QByteArray plain = QByteArray("someone,pw\r\n");
    for (const bool narrow : {false, true}) {
        FaultInjection::setNarrowVectors(narrow);
        for (int offset = 0; offset < 192; offset += offset == 0 ? 2 : 1) {
            const QByteArray before =
                "first,pw\r\n" +
                (offset == 0 ? QByteArray() : QByteArray(offset - 2, 'x') + "\r\n");
            UsernameScanner scanner({QStringLiteral("dupe0000")}, UsernameScanner::Stop::Never);
            scanner.feed(before + "DUPE0000,pw\r\n" + plain.repeated(3) + "dupe0000\r\n" +
                             plain.repeated(8),
                         nullptr);
            scanner.finish(nullptr);
            const QByteArray where = QByteArray::number(offset) + (narrow ? " narrow" : "");
            QVERIFY2(scanner.firstMatchStart() == before.size(), where.constData());
            QVERIFY2(scanner.matchedLines() == 2, where.constData());
        }
    }
}

void CopyPathsTest::widestVectorsWhereTheProcessorHasThem()
{
#if defined(__x86_64__) && defined(__GNUC__) && defined(Q_OS_LINUX)
    if (!__builtin_cpu_supports("avx2"))
        QSKIP("This processor has no AVX2.");
    QVERIFY(plainLineSkipper(VectorWidth::Widest) != plainLineSkipper(VectorWidth::Narrow));
#else
    QSKIP("Only x86-64 Linux builds a second vector width.");
#endif
}

void CopyPathsTest::fileChangedAfterTheScan_data()
{
    QTest::addColumn<QByteArray>("changed"); // the scanned file as the other program leaves it
    QTest::addColumn<bool>("created");

    const QByteArray carolAgain = "CAROL,pw,1,none,0\r\n";
    const QByteArray bob = "bob,pw,1,none,0\r\n";
    QTest::newRow("another account appended") << scanned() + "dave,pw,1,none,0\r\n" << true;
    QTest::newRow("the same name appended") << scanned() + carolAgain << false;
    QTest::newRow("the same name as a new first line") << carolAgain + scanned() << false;
    QTest::newRow("the last line cut off") << scanned().chopped(bob.size()) << true;
}

// A program that ignores the lock writes to the account file after the scan, in place: still
// the file that was scanned, only longer or shorter. The copy must not stop at the size that was
// scanned, nor run past the file's end, nor trust the bytes it scanned to be the same, nor let in
// a name it did not look at.
void CopyPathsTest::fileChangedAfterTheScan()
{
    QFETCH(QByteArray, changed);
    QFETCH(bool, created);

    ServerFolder server(scanned());
    WorkingFolder working(server.workFolder());
    FaultInjection::setAfterScan([&] {
        QFile file(server.accountFile());
        if (file.open(QIODevice::ReadWrite) && file.write(changed) == changed.size())
            file.resize(changed.size());
    });

    const AddOutcome outcome = AddAccount(server.path(), QStringLiteral("carol"), carol).outcome;
    QCOMPARE(outcome, created ? AddOutcome::Created : AddOutcome::Duplicate);
    QCOMPARE(server.accounts(), changed + (created ? carol.toUtf8() + "\r\n" : ""));
    QVERIFY(!QFileInfo::exists(server.tempFile()));
}

void CopyPathsTest::largeFileReadInHalves_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<bool>("created");

    // 2k lines of 21 bytes: large enough to be read in two halves at once. With the taken line
    // of 19 bytes after k lines and k - 1 lines after it, the middle is the line feed before it.
    const QByteArray line = "someone,pw,1,none,0\r\n";
    const QByteArray taken = "CAROL,pw,1,none,0\r\n";
    constexpr int k = 220000;
    QTest::newRow("new name") << line.repeated(2 * k) << true;
    QTest::newRow("LF end in the first half")
        << QByteArray("dave,pw\n") + line.repeated(2 * k) << true;
    QTest::newRow("LF end in the second half")
        << line.repeated(3 * k / 2) + "dave,pw\n" + line.repeated(k / 2) << true;
    QTest::newRow("name in the first half") << taken + line.repeated(2 * k) << false;
    QTest::newRow("name starts the second half")
        << line.repeated(k) + taken + line.repeated(k - 1) << false;
    QTest::newRow("name on the last line, without an end")
        << line.repeated(2 * k) + taken.chopped(2) << false;
}

// A large file is scanned in two halves at the same time: what each half finds, and where the
// first line to rewrite lies, must add up to what one pass finds.
void CopyPathsTest::largeFileReadInHalves()
{
    QFETCH(QByteArray, before);
    QFETCH(bool, created);

    ServerFolder server(before);
    WorkingFolder working(server.workFolder());
    const BatchResult check =
        AddAccounts(server.path(),
                    {{QStringLiteral("zed"), QStringLiteral("zed,pw,1,none,0")}, {"carol", carol}},
                    BatchMode::CheckOnly);
    QCOMPARE(check.alreadyTaken, created ? QList<int>() : QList<int>{1});
    const AddOutcome outcome = AddAccount(server.path(), QStringLiteral("carol"), carol).outcome;
    QCOMPARE(outcome, created ? AddOutcome::Created : AddOutcome::Duplicate);
    QVERIFY(server.accounts() ==
            (created ? withCrLfEnds(before) + carol.toUtf8() + "\r\n" : before));
    QVERIFY(!QFileInfo::exists(server.tempFile()));
}

void CopyPathsTest::editCopyAndStreamingAgree_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<bool>("remove");

    const QByteArray bob = "bob,pw,1,none,0\r\n";
    const QByteArray line = "someone,pw,1,none,0\r\n";
    constexpr int k = 220000; // lines of a file read in two halves, as above
    const QList<std::pair<const char *, QByteArray>> files{
        {"first line", carol.toUtf8() + "\r\n" + bob},
        {"first line after a byte-order mark", "\xEF\xBB\xBF" + carol.toUtf8() + "\r\n" + bob},
        {"middle line, other case", bob + "CAROL,pw,1,none,0\r\n" + bob},
        {"last line without an end", bob + carol.toUtf8()},
        {"its own line ends in LF", bob + carol.toUtf8() + "\n" + bob},
        {"a lone CR elsewhere", "alice,pw\r" + carol.toUtf8() + "\r\n" + bob},
        {"an LF end elsewhere", bob + carol.toUtf8() + "\r\nalice,pw\n" + bob},
        {"another line over a megabyte",
         QByteArray(1100000, 'x') + "\r\n" + carol.toUtf8() + "\r\n"},
        {"not a record of five fields", bob + "carol,pw\r\n" + bob},
        {"twice", bob + carol.toUtf8() + "\r\nCarol,pw,1,none,0\r\n"},
        {"in the second half of a large file",
         line.repeated(k) + carol.toUtf8() + "\r\n" + line.repeated(k - 1)},
        {"twice, once in each half",
         carol.toUtf8() + "\r\n" + line.repeated(2 * k) + carol.toUtf8() + "\r\n"},
    };
    for (const auto &[name, before] : files) {
        QTest::addRow("%s, new password", name) << before << false;
        QTest::addRow("%s, removal", name) << before << true;
    }
}

// The edit copied around the account's line by the system, and streamed line by line: the same
// outcome and the same file, byte for byte.
void CopyPathsTest::editCopyAndStreamingAgree()
{
    QFETCH(QByteArray, before);
    QFETCH(bool, remove);
    const QByteArray streamed = editCarol(before, remove, true);
    const QByteArray copied = editCarol(before, remove, false);
    QVERIFY2(copied == streamed, (copied.left(200) + "\n---\n" + streamed.left(200)).constData());
}

void CopyPathsTest::givenLinesRemoved_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QList<int>>("numbers");
    QTest::addColumn<QByteArrayList>("texts"); // as the caller read them
    QTest::addColumn<QByteArray>("after");     // empty: refused, the file left as it was

    const QByteArray mixed = "\xEF\xBB\xBF"
                             "bob,pw,1,none,0\nnot a record\r\nBOB,pw,0,none,0\rcarol,pw";
    QTest::newRow("a malformed line and a name's second line, every other byte kept")
        << mixed << QList<int>{3, 2} << QByteArrayList{"BOB,pw,0,none,0", "not a record"}
        << QByteArray("\xEF\xBB\xBF"
                      "bob,pw,1,none,0\ncarol,pw");
    QTest::newRow("the last line, without an end")
        << mixed << QList<int>{4} << QByteArrayList{"carol,pw"} << mixed.chopped(8);
    QTest::newRow("a line changed meanwhile")
        << mixed << QList<int>{2, 3} << QByteArrayList{"not a record", "BOB,pw,0,none,1"}
        << QByteArray();
    QTest::newRow("a line past the end")
        << mixed << QList<int>{2, 5} << QByteArrayList{"not a record", ""} << QByteArray();
}

// The lines go all or none, and only while each holds what the caller read; nothing else of the
// file changes, line ends included.
void CopyPathsTest::givenLinesRemoved()
{
    QFETCH(QByteArray, before);
    QFETCH(QList<int>, numbers);
    QFETCH(QByteArrayList, texts);
    QFETCH(QByteArray, after);

    ServerFolder server(before);
    WorkingFolder working(server.workFolder());
    QList<FileLine> lines;
    for (qsizetype i = 0; i < numbers.size(); ++i)
        lines.append({numbers.at(i), texts.at(i)});
    const EditResult result = RemoveLines(server.path(), lines, true);
    if (after.isEmpty()) {
        QCOMPARE(result.outcome, EditOutcome::LineChanged);
        QVERIFY2(result.errorText.startsWith(QStringLiteral("Line %1 of ").arg(numbers.last())),
                 qPrintable(result.errorText));
        QCOMPARE(server.accounts(), before);
        QVERIFY(!QFileInfo::exists(server.accountFile() + QStringLiteral(".bak")));
    } else {
        QCOMPARE(result.outcome, EditOutcome::Done);
        QCOMPARE(server.accounts(), after);
        QFile backup(server.accountFile() + QStringLiteral(".bak"));
        QVERIFY(backup.open(QIODevice::ReadOnly));
        QCOMPARE(backup.readAll(), before);
    }
    QCOMPARE(server.leftovers(), QStringList());
}

QTEST_GUILESS_MAIN(CopyPathsTest)
#include "tst_copypaths.moc"
