#include "core/internal/scan/ParallelScan.h"

#include "core/internal/format/AccountFileFormat.h"
#include "core/internal/fs/CheckedFile.h"
#include "core/internal/scan/CoreAffinity.h"
#include "core/internal/scan/UsernameScanner.h"

#include <atomic>
#include <thread>

namespace {

using AccountFileFormat::chunkSize;

FailureReason readFailure(const FailureReason &failure)
{
    return failure.within(QStringLiteral("reading it failed: %1"));
}

// From this size on the file is read in two halves at once, one per core: the scan is what an
// add costs beyond the copy itself, and the page cache serves both halves.
constexpr qint64 parallelScanFrom = 8 * 1024 * 1024;

// Reads the whole account file through the scanner, copying nothing, until it ends or the
// scanner stops at a name found.
Failure scanSequentially(CheckedFile &source, UsernameScanner &scanner, qint64 size)
{
    // A small file in a buffer its own size: one a quarter megabyte long costs page faults.
    QByteArray buffer(qBound<qint64>(4096, size + 1, chunkSize), Qt::Uninitialized);
    for (;;) {
        const Result<qint64> got = source.read(buffer.data(), buffer.size());
        if (!got)
            return readFailure(*got.failure());
        if (*got == 0) {
            scanner.finish(nullptr);
            return {};
        }
        if (!scanner.feed(QByteArrayView(buffer.constData(), *got), nullptr))
            return {};
    }
}

// Feeds the scanner the bytes from offset from up to offset to (-1: the end of the file), read
// at their offsets so that another thread can read elsewhere in the same file.
Failure scanRange(const CheckedFile &source, UsernameScanner &scanner, qint64 from, qint64 to,
                  const std::atomic<bool> &cancelled)
{
    QByteArray buffer(chunkSize, Qt::Uninitialized);
    for (qint64 at = from; to < 0 || at < to;) {
        if (cancelled)
            return {};
        const qint64 want = to < 0 ? chunkSize : qMin(chunkSize, to - at);
        const Result<qint64> got = source.readAt(at, buffer.data(), want);
        if (!got)
            return readFailure(*got.failure());
        if (*got == 0)
            break;
        at += *got;
        if (!scanner.feed(QByteArrayView(buffer.constData(), *got), nullptr))
            return {};
    }
    scanner.finish(nullptr);
    return {};
}

// Where the second half starts: just after the first line feed from the middle on, so that it
// starts a line. -1 when there is none near the middle (then the file is read in one pass).
Result<qint64> findSecondHalf(const CheckedFile &source, qint64 size)
{
    const qint64 middle = size / 2;
    QByteArray window(64 * 1024, Qt::Uninitialized);
    const Result<qint64> got = source.readAt(middle, window.data(), window.size());
    if (!got)
        return readFailure(*got.failure());
    const qsizetype lineFeed = QByteArrayView(window.constData(), *got).indexOf('\n');
    if (lineFeed >= 0 && middle + lineFeed + 1 < size)
        return middle + lineFeed + 1;
    return qint64(-1);
}

Failure scanInHalves(const CheckedFile &source, UsernameScanner &scanner, qint64 split)
{
    UsernameScanner second(scanner, UsernameScanner::Start::AtLineStart);
    std::atomic<bool> cancelled{false};
    Failure secondFailure;
    const int starterCore = currentCore();
    std::thread reader([&] {
        leaveCore(starterCore);
        secondFailure = scanRange(source, second, split, -1, cancelled);
    });
    const std::atomic<bool> never{false};
    const Failure failure = scanRange(source, scanner, 0, split, never);
    const bool foundFirst = scanner.stopsAtFirstMatch() && !scanner.matches().isEmpty();
    cancelled = failure.has_value() || foundFirst;
    reader.join();
    if (failure)
        return failure;
    if (foundFirst)
        return {};
    if (secondFailure)
        return secondFailure;
    scanner.append(second);
    return {};
}

} // namespace

Failure scanAccountFile(CheckedFile &source, UsernameScanner &scanner)
{
    const Result<qint64> size = source.size();
    if (!size)
        return readFailure(*size.failure());
    if (*size < parallelScanFrom)
        return scanSequentially(source, scanner, *size);
    const Result<qint64> split = findSecondHalf(source, *size);
    if (!split)
        return split.failure();
    if (*split < 0)
        return scanSequentially(source, scanner, *size);
    return scanInHalves(source, scanner, *split);
}
