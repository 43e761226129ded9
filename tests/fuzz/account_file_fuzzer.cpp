// Feeds arbitrary bytes as an account file and an arbitrary username through the update, and
// checks the outcome against a plain model of the account file:
//   - Duplicate exactly when some line's whole name field (before its first comma, or the whole
//     line) equals the username without regard to case;
//   - otherwise every line copied byte for byte with a CR LF end, and the new record last.
// The same bytes also go through the scanner in chunks cut where the input says, so that lines,
// CR LF pairs and the byte-order mark split across reads are covered; read only, its unchanged
// start plus the rest streamed from there must give the same copy. The update runs twice, once
// letting the system copy what needs no change and once streaming every byte: both files must be
// the model's, byte for byte.
//
// Input: [username length][username bytes][chunk seed][account file bytes]

#include "core/AccountFile.h"
#include "core/AccountRecord.h"
#include "core/RecordEncoding.h"
#include "core/internal/AccountFileUpdate.h"
#include "core/internal/scan/UsernameScanner.h"
#include "tests/fuzz/ScratchServerFolder.h"
#include "tests/support/AuditSinks.h"
#include "tests/support/FaultInjection.h"
#include "tests/support/ModelLines.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// Thousands of changes a second would flood the system log; their records are still made.
RecordingAuditSink discardedRecords{false};

struct Expected
{
    bool duplicate = false;
    QByteArray file; // the account file afterwards, without the new record
};

Expected model(const QByteArray &input, const QString &username)
{
    Expected expected;
    QByteArray rest = input;
    if (rest.startsWith("\xEF\xBB\xBF")) {
        expected.file = rest.left(3);
        rest = rest.mid(3);
    }
    const QList<QByteArray> lines = modelLines(rest);
    for (const QByteArray &each : lines) {
        const qsizetype comma = each.indexOf(',');
        const QByteArray name = comma < 0 ? each : each.left(comma);
        QStringDecoder decoder(QStringConverter::System, QStringConverter::Flag::Stateless);
        const QString decoded = decoder.decode(name);
        if (!name.isEmpty() && !username.isEmpty() && !decoder.hasError() &&
            sameName(decoded, username)) {
            expected.duplicate = true;
            return expected;
        }
        expected.file += each + "\r\n";
    }
    return expected;
}

// Chunks of up to 7 bytes cut lines, CR LF pairs and the byte-order mark in every way; chunks
// of up to 200 let whole runs of 64 bytes through the scanner's fast way too.
qsizetype chunkSpan(quint8 seed)
{
    return (seed & 1) ? 200 : 7;
}

[[noreturn]] void failure(const char *what, const QByteArray &input, const QString &username)
{
    std::fprintf(stderr, "%s\nusername: %s\nfile: %s\n", what, qPrintable(username),
                 input.toHex(' ').constData());
    std::abort();
}

void checkScanner(const QByteArray &input, const QString &username, quint8 seed,
                  const Expected &expected)
{
    UsernameScanner scanner({username}, UsernameScanner::Stop::AtFirstMatch);
    QByteArray out;
    bool goOn = true;
    qsizetype at = 0;
    quint32 state = seed * 2654435761u + 1;
    while (goOn && at < input.size()) {
        state = state * 1103515245u + 12345u;
        const qsizetype length =
            std::min<qsizetype>(1 + (state >> 16) % chunkSpan(seed), input.size() - at);
        goOn = scanner.feed(QByteArrayView(input).sliced(at, length), out);
        at += length;
    }
    if (goOn)
        goOn = scanner.finish(out);
    if (goOn == expected.duplicate)
        failure("scanner: wrong duplicate decision", input, username);
    if (goOn && out != expected.file)
        failure("scanner: copy differs from the model", input, username);
}

// Cuts input into chunks as the seed says, and feeds them to the scanner.
bool feedInChunks(UsernameScanner &scanner, QByteArrayView input, quint8 seed, QByteArray *out)
{
    qsizetype at = 0;
    quint32 state = seed * 2654435761u + 7;
    while (at < input.size()) {
        state = state * 1103515245u + 12345u;
        const qsizetype length =
            std::min<qsizetype>(1 + (state >> 16) % chunkSpan(seed), input.size() - at);
        if (!scanner.feed(input.sliced(at, length), out))
            return false;
        at += length;
    }
    return scanner.finish(out);
}

void checkUnchangedStart(const QByteArray &input, const QString &username, quint8 seed,
                         const Expected &expected)
{
    if (expected.duplicate)
        return;
    UsernameScanner reader({username}, UsernameScanner::Stop::AtFirstMatch);
    if (!feedInChunks(reader, input, seed, nullptr))
        failure("read-only scanner: found a name the model does not", input, username);
    const qint64 unchanged = reader.unchangedBytes();
    if (reader.bytesSeen() != input.size() || unchanged < 0 || unchanged > input.size())
        failure("read-only scanner: counted the bytes wrong", input, username);
    UsernameScanner rest({username}, UsernameScanner::Stop::AtFirstMatch,
                         unchanged > 0 ? UsernameScanner::Start::AtLineStart
                                       : UsernameScanner::Start::AtFileStart);
    QByteArray copy = input.left(unchanged);
    if (!feedInChunks(rest, QByteArrayView(input).sliced(unchanged), seed + 1, &copy))
        failure("rest of the copy: found a name the model does not", input, username);
    if (copy != expected.file)
        failure("unchanged start plus streamed rest differs from the model", input, username);
}

void checkUpdate(const QByteArray &input, const QString &username, const Expected &expected,
                 bool streamingOnly)
{
    const QString record = username + QStringLiteral(",secret,1,none,0");
    if (!canBeStored(record))
        return;
    const QString folder = scratchServerFolder(QStringLiteral("kelto-fuzz"));
    QFile file(accountFilePath(folder));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(input) != input.size())
        std::abort();
    file.close();

    FaultInjection::setStreamingCopyOnly(streamingOnly);
    const AddAccountResult result = AddAccount(folder, username, record);
    FaultInjection::setStreamingCopyOnly(false);
    if (!file.open(QIODevice::ReadOnly))
        std::abort();
    const QByteArray after = file.readAll();
    file.close();
    if (result.outcome == AddOutcome::FileError)
        failure(qPrintable(QStringLiteral("update: file error: ") + result.errorText), input,
                username);
    if ((result.outcome == AddOutcome::Duplicate) != expected.duplicate)
        failure("update: wrong duplicate decision", input, username);
    QStringEncoder encoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    const QByteArray wanted =
        expected.duplicate ? input : expected.file + encoder.encode(record) + "\r\n";
    if (after != wanted)
        failure("update: account file differs from the model", input, username);
    if (QFile::exists(QDir(folder).filePath(QString::fromLatin1(tempFileName))))
        failure("update: kAdd.tmp left behind", input, username);
}

} // namespace

// The fast reading of plain ASCII records must read every line it takes as the full parser does.
void checkPlainRecords(const QByteArray &input)
{
    for (const QByteArray &each : input.split('\n')) {
        QByteArrayView line = each;
        if (line.endsWith('\r'))
            line.chop(1);
        const std::optional<PlainRecord> plain = parsePlainRecord(line);
        if (!plain)
            continue;
        const AccountRecord full = parseRecord(line);
        if (!full.malformed.isEmpty() || full.username != QLatin1String(plain->username) ||
            full.password != QLatin1String(plain->password) || full.male != plain->male ||
            full.email != QLatin1String(plain->email) || full.gmFlags != plain->gmFlags) {
            std::fprintf(stderr, "the plain and the full record differ for: %.*s\n",
                         int(line.size()), line.data());
            std::abort();
        }
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const size_t nameLength = std::min<size_t>(data[0], size - 2);
    const QString username =
        QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(nameLength));
    const quint8 seed = data[1 + nameLength];
    const QByteArray input(reinterpret_cast<const char *>(data + 2 + nameLength),
                           qsizetype(size - 2 - nameLength));

    checkPlainRecords(input);
    const Expected expected = model(input, username);
    // The scan's widest vectors for some inputs, those of every x86-64 for the others.
    FaultInjection::setNarrowVectors(seed & 2);
    checkScanner(input, username, seed, expected);
    checkUnchangedStart(input, username, seed, expected);
    checkUpdate(input, username, expected, false);
    checkUpdate(input, username, expected, true);
    return 0;
}
