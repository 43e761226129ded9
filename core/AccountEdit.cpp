#include "core/AccountEdit.h"

#include "core/AccountFile.h"
#include "core/AuditTrail.h"
#include "core/RecordEncoding.h"
#include "core/ReportScope.h"
#include "core/internal/AccountRewrite.h"
#include "core/internal/format/NameKey.h"
#include "core/internal/scan/AccountLineReader.h"

#include <QDir>
#include <QMap>

#include <utility>

namespace {

struct Found
{
    int lineNumber = 0;
    QByteArray line;   // of a line the reader cut, its start
    qint64 offset = 0; // where the line starts
    qint64 after = 0;  // where the line after it starts, or the file's end
    bool cut = false;
};

// The account's line as the edit leaves it (nothing for a removal), or why it cannot be edited.
Failure editLine(const AccountEdit &edit, QByteArrayView line, int lineNumber, bool cut,
                 QByteArray &newLine)
{
    if (edit.remove)
        return {};
    if (cut)
        return QStringLiteral("line %1, the account %2, is longer than %3 bytes; "
                              "mend it by hand first")
            .arg(lineNumber)
            .arg(parseRecord(line).username)
            .arg(AccountLineReader::longestWholeLine);
    if (!RecordFields(line).isRecord())
        return QStringLiteral("line %1, the account %2, is not a record of five "
                              "fields; mend it by hand first")
            .arg(lineNumber)
            .arg(parseRecord(line).username);
    QList<FieldValue> values = edit.values;
    if (edit.gmFlagsToAdd != 0 || edit.gmFlagsToClear != 0) {
        const AccountRecord record = parseRecord(replaceFields(line, values));
        if (!record.malformed.isEmpty())
            return QStringLiteral("line %1, the account %2, is not well formed (%3); "
                                  "mend it by hand first")
                .arg(lineNumber)
                .arg(record.username, record.malformed);
        values.append({GmFlagsField, QString::number((record.gmFlags | edit.gmFlagsToAdd) &
                                                     ~edit.gmFlagsToClear)});
    }
    newLine = replaceFields(line, values);
    return {};
}

// Finds the account's line line by line. A second line with the same name refuses the edit:
// which of the two is meant cannot be told.
Failure findLine(const RewriteSource &source, const NameMatcher &matcher,
                 std::optional<Found> &found)
{
    AccountLineReader reader(source.update.source());
    LineSplitter::Line line;
    while (reader.next(line)) {
        if (found && found->after == 0)
            found->after = line.offset;
        if (!matcher.matches(nameField(line.bytes, reader.lineIsCut())))
            continue;
        if (found)
            return QStringLiteral("it holds the account %1 twice, on lines %2 and %3 (letter "
                                  "case does not tell accounts apart); mend it by hand first")
                .arg(parseRecord(found->line).username)
                .arg(found->lineNumber)
                .arg(reader.lineNumber());
        found = Found{reader.lineNumber(), line.bytes.toByteArray(), line.offset, 0,
                      reader.lineIsCut()};
    }
    if (reader.failed())
        return reader.errorText();
    if (found && found->after == 0)
        found->after = source.size;
    return {};
}

// Longer than any record: a line that does not end within it is left to the reader.
constexpr qint64 lineWindow = 64 * 1024;

// Where the scan found the name on one line only, and that line ends in CR LF, that line alone is
// read; false leaves the file to the reader.
Result<bool> lineAtScanMatch(const RewriteSource &source, const NameMatcher &matcher,
                             std::optional<Found> &found)
{
    const UsernameScanner &scan = source.scan;
    if (scan.matchedLines() != 1 || scan.bytesSeen() != source.size)
        return false;
    const qint64 start = scan.firstMatchStart();
    QByteArray window(lineWindow, Qt::Uninitialized);
    const Result<qint64> got = source.update.source().readAt(start, window.data(), window.size());
    if (!got)
        return readFailure(*got.failure());
    const QByteArrayView bytes(window.constData(), *got);
    const qsizetype length = bytes.indexOf("\r\n");
    const QByteArrayView line = bytes.first(qMax<qsizetype>(length, 0));
    if (length < 0 || line.contains('\n') || line.contains('\r') ||
        !matcher.matches(nameField(line)))
        return false;
    found = Found{int(scan.firstMatchLine()), line.toByteArray(), start, start + length + 2, false};
    return true;
}

// Finds the account's line and plans the file with that line changed or left out.
Failure planEdit(const RewriteSource &source, const AccountEdit &edit, const NameMatcher &matcher,
                 std::optional<Found> &found, QByteArray &newLine, RewritePlan &plan)
{
    found.reset();
    const Result<bool> atMatch = lineAtScanMatch(source, matcher, found);
    if (!atMatch)
        return atMatch.failure();
    if (!*atMatch) {
        if (Failure failure = findLine(source, matcher, found))
            return failure;
    }
    if (!found)
        return {};
    if (Failure failure = editLine(edit, found->line, found->lineNumber, found->cut, newLine))
        return failure;
    // Rewriting the file for a line that stays as it is would only risk it, and log a change
    // that is none.
    plan.write = edit.remove || newLine != found->line;
    plan.keep(0, found->offset);
    if (!edit.remove)
        plan.add(newLine + "\r\n");
    plan.keep(found->after, source.size);
    return {};
}

QString fieldName(RecordField field)
{
    switch (field) {
    case UsernameField:
        return QStringLiteral("name");
    case PasswordField:
        return QStringLiteral("password");
    case GenderField:
        return QStringLiteral("gender");
    case EmailField:
        return QStringLiteral("e-mail");
    case GmFlagsField:
    case RecordFieldCount:
        break;
    }
    return QStringLiteral("GM flags");
}

// The outcome of a change that failed; false when it did not.
bool failed(const RewriteOutcome &outcome, EditResult &result)
{
    result.errorText = outcome.errorText;
    result.loggedErrorText = outcome.errorText;
    result.fileChanged = outcome.fileChanged;
    return outcome.failed();
}

EditResult editAccount(const QString &accountPath, const AccountEdit &edit)
{
    for (const FieldValue &value : edit.values) {
        // A value that would not read back as written must never reach the server's file.
        if (value.text.contains(u',') || !canBeStored(value.text)) {
            EditResult result;
            result.errorText = fileErrorText(
                accountPath, QStringLiteral("the new value '%1' cannot be stored").arg(value.text));
            result.loggedErrorText = fileErrorText(
                accountPath,
                QStringLiteral("the new %1 cannot be stored").arg(fieldName(value.field)));
            return result;
        }
    }
    RewriteRequest request;
    request.accountPath = accountPath;
    request.names = {edit.username};
    request.write = !edit.dryRun;
    request.backup = edit.backup;
    const NameMatcher matcher(edit.username);
    std::optional<Found> found;
    QByteArray newLine;
    const RewriteOutcome outcome =
        rewriteAccountFile(request, [&](const RewriteSource &source, RewritePlan &plan) {
            return planEdit(source, edit, matcher, found, newLine, plan);
        });
    EditResult result;
    // A change that landed is told in full, even when the flush after it failed.
    if (failed(outcome, result) && !result.fileChanged)
        return result;
    if (!found) {
        result.outcome = EditOutcome::NoSuchAccount;
        return result;
    }
    if (!result.fileChanged)
        result.outcome =
            edit.remove || newLine != found->line ? EditOutcome::Done : EditOutcome::Unchanged;
    result.lineNumber = found->lineNumber;
    result.before = parseRecord(found->line);
    if (!edit.remove)
        result.after = parseRecord(newLine);
    return result;
}

} // namespace

EditResult EditAccount(const QString &applicationFolder, const AccountEdit &edit)
{
    const ReportScope scope;
    const QString accountPath = accountFilePath(applicationFolder);
    const EditResult result = editAccount(accountPath, edit);
    auditEdit(accountPath, edit, result);
    return result;
}

namespace {

// Whether the line the reader handed out last holds exactly text, a cut line's rest included.
Result<bool> holds(AccountLineReader &reader, QByteArrayView line, QByteArrayView text)
{
    if (!reader.lineIsCut())
        return line == text;
    if (!text.startsWith(line))
        return false;
    qsizetype matched = line.size();
    const bool passed = reader.passRest([&](QByteArrayView piece) {
        if (text.sliced(matched).startsWith(piece))
            matched += piece.size();
        else
            matched = -1;
        return matched >= 0;
    });
    if (!passed && reader.failed())
        return FailureReason(reader.errorText());
    return passed && matched == text.size();
}

// Plans the file without the given lines, each of which must still hold the text given; the
// number of the first that does not is left in changed. Every other byte stays as it is.
Failure planRemoval(const RewriteSource &source, const QMap<int, QByteArray> &lines,
                    RewritePlan &plan, int &changed)
{
    AccountLineReader reader(source.update.source());
    LineSplitter::Line line;
    auto wanted = lines.cbegin();
    qint64 kept = 0; // where the bytes not yet planned start
    bool skipping = false;
    while (reader.next(line)) {
        if (std::exchange(skipping, false))
            kept = line.offset;
        if (wanted == lines.cend() || reader.lineNumber() < wanted.key())
            continue;
        const Result<bool> same = reader.lineNumber() == wanted.key()
                                      ? holds(reader, line.bytes, wanted.value())
                                      : Result<bool>(false);
        if (!same)
            return same.failure();
        if (!*same) {
            changed = wanted.key();
            return {};
        }
        plan.keep(kept, line.offset);
        skipping = true;
        ++wanted;
    }
    if (reader.failed())
        return reader.errorText();
    if (wanted != lines.cend()) {
        changed = wanted.key(); // past the end now
        return {};
    }
    plan.keep(skipping ? source.size : kept, source.size);
    plan.write = true;
    return {};
}

} // namespace

EditResult RemoveLines(const QString &applicationFolder, const QList<FileLine> &lines, bool backup,
                       bool dryRun)
{
    EditResult nothingToDo;
    nothingToDo.outcome = EditOutcome::Done;
    if (lines.isEmpty())
        return nothingToDo; // no rewrite, and no record of a change that is none
    const ReportScope scope;
    RewriteRequest request;
    request.accountPath = accountFilePath(applicationFolder);
    request.write = !dryRun;
    request.backup = backup;
    request.verbatim = true;
    QMap<int, QByteArray> byNumber;
    for (const FileLine &line : lines)
        byNumber.insert(line.number, line.text);
    int changed = 0;
    const RewriteOutcome outcome =
        rewriteAccountFile(request, [&](const RewriteSource &source, RewritePlan &plan) {
            changed = 0;
            return planRemoval(source, byNumber, plan, changed);
        });
    EditResult result = nothingToDo;
    if (!failed(outcome, result) && changed > 0) {
        result.outcome = EditOutcome::LineChanged;
        result.errorText = QStringLiteral("Line %1 of %2 changed meanwhile: nothing was removed")
                               .arg(changed)
                               .arg(QDir::toNativeSeparators(request.accountPath));
        result.loggedErrorText = result.errorText;
    } else if (outcome.failed()) {
        result.outcome = EditOutcome::FileError;
    }
    result.lineNumber = byNumber.firstKey();
    if (!dryRun)
        auditLineRemoval(request.accountPath, byNumber.keys(), result);
    return result;
}

FindResult FindAccount(const QString &applicationFolder, const QString &username)
{
    RewriteRequest look;
    look.accountPath = accountFilePath(applicationFolder);
    look.write = false;
    look.verbatim = true;
    const NameMatcher matcher(username);
    FindResult result;
    const RewriteOutcome outcome =
        rewriteAccountFile(look, [&](const RewriteSource &source, RewritePlan &) -> Failure {
            AccountLineReader reader(source.update.source());
            QByteArrayView line;
            while (reader.next(line)) {
                if (matcher.matches(nameField(line, reader.lineIsCut()))) {
                    result.outcome = EditOutcome::Done;
                    result.lineNumber = reader.lineNumber();
                    result.usernameInFile = parseRecord(line).username;
                    return {};
                }
            }
            if (reader.failed())
                return reader.errorText();
            result.outcome = EditOutcome::NoSuchAccount;
            return {};
        });
    result.errorText = outcome.errorText;
    return result;
}
