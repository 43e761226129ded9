#include "core/internal/AccountRewrite.h"

#include "core/internal/AccountBackup.h"
#include "core/internal/format/AccountFileFormat.h"
#include "core/internal/fs/FileOperationHooks.h"
#include "core/internal/scan/ParallelScan.h"

#include <algorithm>

void RewritePlan::keep(qint64 offset, qint64 end)
{
    if (end > offset)
        m_pieces.push_back({offset, end, {}});
}

void RewritePlan::add(QByteArray bytes)
{
    if (!bytes.isEmpty())
        m_pieces.push_back({0, 0, std::move(bytes)});
}

namespace {

using AccountFileFormat::chunkSize;

// How often a change starts again when the account file keeps changing under it.
constexpr int updateAttempts = 5;

// The reason given when another program kept writing the account file each time; last is the
// reason of the last time.
QString keptChangingReason(const QString &last)
{
    return QStringLiteral("another program kept writing it while it was being updated (%1 "
                          "tries; the last time, %2); try again once that program has finished")
        .arg(updateAttempts)
        .arg(last);
}

// Writes the copy of one planned file from the same open file, under the same lock.
class CopyWriter
{
public:
    CopyWriter(AccountFileUpdate &update, const RewriteRequest &request,
               const UsernameScanner &scan, qint64 size)
        : m_update(update), m_scan(scan), m_size(size), m_verbatim(request.verbatim)
    {
        if (m_verbatim)
            m_unchanged = size;
        else if (FileOperationHooks::current().systemCopyAllowed())
            m_unchanged = scan.unchangedBytes();
    }

    // A file that turns out to differ from the one scanned (a program that ignores the lock
    // wrote to it) fails as a foreign change.
    Failure write(const RewritePlan &plan)
    {
        const Result<qint64> sizeNow = m_update.sourceSize();
        if (!sizeNow)
            return sizeNow.failure();
        if (*sizeNow != m_size || (!m_verbatim && m_scan.bytesSeen() != m_size))
            return m_update.foreignChangeFound(
                QStringLiteral("its size changed while it was being copied"));
        for (const RewritePlan::Piece &piece : plan.pieces()) {
            if (Failure failure = piece.bytes.isEmpty() ? copyRange(piece.offset, piece.end)
                                                        : written(piece.bytes))
                return failure;
        }
        return {};
    }

private:
    Failure written(const QByteArray &bytes)
    {
        if (Failure failure = m_update.copy().write(bytes))
            return m_update.copyFailure(*failure);
        return {};
    }

    // The bytes that need no change go into the copy without passing through here: shared with
    // the account file where the file system can (the whole file only), else copied by the
    // system. Only the lines from the first one whose end needs rewriting on are streamed.
    Failure copyRange(qint64 offset, qint64 end)
    {
        const qint64 asIs = std::min(end, m_unchanged);
        if (offset < asIs) {
            if (Failure failure = copyAsIs(offset, asIs))
                return failure;
            offset = asIs;
        }
        if (offset == end)
            return {};
        return stream(offset, end);
    }

    Failure copyAsIs(qint64 offset, qint64 end)
    {
        if (offset == 0 && end == m_size) {
            const Failure failure = m_update.copy().cloneFrom(m_update.source(), end);
            if (!failure)
                return {};
            if (failure->kind != FailureReason::Unsupported)
                return m_update.copyFailure(*failure);
        }
        return m_update.copySourceRange(offset, end - offset);
    }

    // Every line through a scanner, which gives it a CR LF end and looks its name up once more:
    // a name the scan did not find means that the file changed under the lock.
    Failure stream(qint64 offset, qint64 end)
    {
        UsernameScanner lines(m_scan, offset == 0 ? UsernameScanner::Start::AtFileStart
                                                  : UsernameScanner::Start::AtLineStart);
        CheckedFile &source = m_update.source();
        if (Failure failure = source.seek(offset))
            return readFailure(*failure);
        QByteArray buffer(std::min<qint64>(chunkSize, end - offset), Qt::Uninitialized);
        QByteArray out;
        out.reserve(buffer.size() + buffer.size() / 4);
        for (qint64 left = end - offset; left > 0;) {
            const Result<qint64> got =
                source.read(buffer.data(), std::min<qint64>(buffer.size(), left));
            if (!got)
                return readFailure(*got.failure());
            if (*got == 0)
                break;
            left -= *got;
            lines.feed(QByteArrayView(buffer.constData(), *got), out);
            if (Failure failure = written(out))
                return failure;
            out.resize(0);
        }
        lines.finish(out);
        const QList<int> &found = m_scan.matches();
        if (std::any_of(lines.matches().cbegin(), lines.matches().cend(),
                        [&](int name) { return !found.contains(name); }))
            return m_update.foreignChangeFound(
                QStringLiteral("a name appeared in it while it was being copied"));
        return written(out);
    }

    AccountFileUpdate &m_update;
    const UsernameScanner &m_scan;
    const qint64 m_size;
    const bool m_verbatim;
    qint64 m_unchanged = 0; // the leading bytes that the copy repeats as they are
};

// Nothing is written before the planner has decided: a change refused leaves no temporary file
// behind, not even for a moment.
RewriteOutcome rewriteOnce(const RewriteRequest &request, const RewritePlanner &planner,
                           Failure &foreignChange)
{
    AccountFileUpdate update(request.accountPath);
    UsernameScanner scanner(request.names, request.stop);
    Failure failure = update.open(request.write ? AccountFileUpdate::Locking::Exclusive
                                                : AccountFileUpdate::Locking::None);
    if (!failure && !request.verbatim)
        failure = scanAccountFile(update.source(), scanner);
    const Result<qint64> size = failure ? Result<qint64>(*failure) : update.sourceSize();
    failure = size.failure();
    if (Failure notRewound = failure ? Failure() : update.source().seek(0))
        failure = readFailure(*notRewound);
    RewritePlan plan;
    if (!failure)
        failure = planner({update, scanner, *size}, plan);
    if (!failure && request.write && plan.write) {
        FileOperationHooks::current().afterScan();
        failure = update.createCopy();
        if (!failure)
            failure = CopyWriter(update, request, scanner, *size).write(plan);
        if (!failure)
            failure = commitWithBackup(update, request.backup);
    }
    foreignChange = update.foreignChange();
    RewriteOutcome outcome;
    if (failure && !request.write)
        outcome.errorText = fileReadErrorText(request.accountPath, *failure);
    else if (failure)
        outcome.errorText = fileErrorText(request.accountPath, *failure, update.changedFile());
    outcome.fileChanged = failure && update.changedFile();
    return outcome;
}

} // namespace

RewriteOutcome rewriteAccountFile(const RewriteRequest &request, const RewritePlanner &planner)
{
    for (int attempt = 1;; ++attempt) {
        Failure foreignChange;
        RewriteOutcome outcome = rewriteOnce(request, planner, foreignChange);
        if (!foreignChange)
            return outcome;
        if (attempt == updateAttempts)
            return {fileErrorText(request.accountPath, keptChangingReason(*foreignChange)), false};
    }
}
