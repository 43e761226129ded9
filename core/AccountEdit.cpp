#include "core/AccountEdit.h"

#include "core/AccountFile.h"
#include "core/AuditTrail.h"
#include "core/RecordLine.h"
#include "core/ReportScope.h"
#include "core/internal/AccountBackup.h"
#include "core/internal/AccountFileUpdate.h"
#include "core/internal/format/AccountFileFormat.h"
#include "core/internal/format/NameKey.h"
#include "core/internal/fs/FileOperationHooks.h"
#include "core/internal/scan/AccountFileScan.h"
#include "core/internal/scan/AccountFileScanner.h"
#include "core/internal/scan/AccountLineReader.h"

namespace {

constexpr qsizetype flushSize = AccountFileFormat::chunkSize;

struct Found
{
    int lineNumber = 0;
    QByteArray line; // of a line the reader cut, its start
};

// Whether the line the reader handed out last names the account. A name field the reader cut
// short, of more than a megabyte, names none.
bool namesAccount(const NameMatcher &matcher, const AccountLineReader &reader, QByteArrayView line)
{
    const QByteArrayView field = nameField(line);
    return (!reader.lineIsCut() || field.size() < line.size()) && matcher.matches(field);
}

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
    if (fieldCount(line) != RecordFieldCount)
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

// Streams the file into the copy (when there is one), leaving out or replacing the account's
// line. A second line with the same name stops it: which of the two is meant cannot be told.
class EditPass
{
public:
    EditPass(AccountFileUpdate &update, const AccountEdit &edit, bool copying)
        : m_update(update), m_edit(edit), m_matcher(edit.username), m_copying(copying)
    {}

    Failure run()
    {
        AccountLineReader reader(m_update.source());
        QByteArrayView line;
        bool first = true;
        while (reader.next(line)) {
            if (first && m_copying)
                m_out.append(reader.byteOrderMark());
            first = false;
            if (!namesAccount(m_matcher, reader, line)) {
                if (Failure failure = copyLine(reader, line))
                    return failure;
            } else if (found) {
                return QStringLiteral("it holds the account %1 twice, on lines %2 and %3 (letter "
                                      "case does not tell accounts apart); mend it by hand first")
                    .arg(parseRecord(found->line).username)
                    .arg(found->lineNumber)
                    .arg(reader.lineNumber());
            } else {
                found = Found{reader.lineNumber(), line.toByteArray()};
                if (Failure failure =
                        editLine(m_edit, line, reader.lineNumber(), reader.lineIsCut(), newLine))
                    return failure;
                if (!m_edit.remove)
                    appendLine(m_out, newLine);
            }
            if (Failure failure = flush(false))
                return failure;
        }
        if (reader.failed())
            return reader.errorText();
        if (first && m_copying)
            m_out.append(reader.byteOrderMark());
        return flush(true);
    }

    std::optional<Found> found;
    QByteArray newLine;

private:
    // A line longer than the reader hands out whole goes through in pieces.
    Failure copyLine(AccountLineReader &reader, QByteArrayView line)
    {
        if (!m_copying)
            return {};
        m_out.append(line);
        if (reader.lineIsCut()) {
            Failure failure;
            const bool passed = reader.passRest([&](QByteArrayView piece) {
                m_out.append(piece);
                failure = flush(false);
                return !failure;
            });
            if (failure)
                return failure;
            if (!passed)
                return reader.errorText();
        }
        m_out.append("\r\n", 2);
        return {};
    }

    Failure flush(bool always)
    {
        if (!m_copying) {
            m_out.clear();
            return {};
        }
        if (!always && m_out.size() < flushSize)
            return {};
        if (Failure failure = m_update.copy().write(m_out))
            return m_update.copyFailure(*failure);
        m_out.clear();
        return {};
    }

    AccountFileUpdate &m_update;
    const AccountEdit &m_edit;
    NameMatcher m_matcher;
    bool m_copying;
    QByteArray m_out;
};

bool leavesLineAsItIs(const AccountEdit &edit, const EditPass &pass)
{
    return !edit.remove && pass.newLine == pass.found->line;
}

// The streaming pass starts from the file's first byte.
Failure rewound(AccountFileUpdate &update)
{
    if (Failure failure = update.source().seek(0))
        return readFailure(*failure);
    return {};
}

// Longer than any record: a line that does not end within it is left to the streaming pass.
constexpr qint64 lineWindow = 64 * 1024;

// A file that already is what streaming would copy of it (every line ends in CR LF) and names
// the account on one line only has every byte but that line's copied by the system, from the same
// open file under the same lock; the add's scan finds the line by the same rules, much faster.
// Otherwise, and when the file's size differs from what the scan read (a program that ignores
// the lock wrote to it), copied stays false and the file is streamed as before.
Failure copyAroundLine(AccountFileUpdate &update, const AccountEdit &edit, EditPass &pass,
                       bool &copied)
{
    if (!FileOperationHooks::current().systemCopyAllowed())
        return {};
    AccountFileScanner scanner({edit.username}, AccountFileScanner::Stop::Never);
    if (Failure failure = scanAccountFile(update.source(), scanner))
        return failure;
    const Result<qint64> size = update.sourceSize();
    if (!size)
        return size.failure();
    if (scanner.matchedLines() != 1 || scanner.bytesSeen() != *size ||
        scanner.unchangedBytes() != *size)
        return rewound(update);
    const qint64 start = scanner.firstMatchStart();
    QByteArray window(lineWindow, Qt::Uninitialized);
    const Result<qint64> got = update.source().readAt(start, window.data(), window.size());
    if (!got)
        return readFailure(*got.failure());
    const QByteArrayView bytes(window.constData(), *got);
    const qsizetype length = bytes.indexOf("\r\n");
    const QByteArrayView line = bytes.first(qMax<qsizetype>(length, 0));
    if (length < 0 || !NameMatcher(edit.username).matches(nameField(line)))
        return rewound(update);
    copied = true;
    pass.found = Found{int(scanner.firstMatchLine()), line.toByteArray()};
    if (Failure failure = editLine(edit, line, pass.found->lineNumber, false, pass.newLine))
        return failure;
    if (leavesLineAsItIs(edit, pass))
        return {};
    if (Failure failure = update.copySourceRange(0, start))
        return failure;
    if (!edit.remove) {
        QByteArray newLine;
        appendLine(newLine, pass.newLine);
        if (Failure failure = update.copy().write(newLine))
            return update.copyFailure(*failure);
    }
    const qint64 after = start + length + 2;
    return update.copySourceRange(after, *size - after);
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

EditResult fileError(const QString &accountPath, const QString &reason, bool fileChanged = false)
{
    EditResult result;
    result.errorText = fileErrorText(accountPath, reason, fileChanged);
    result.loggedErrorText = result.errorText;
    result.fileChanged = fileChanged;
    return result;
}

EditResult editOnce(const QString &accountPath, const AccountEdit &edit, Failure &foreignChange)
{
    AccountFileUpdate update(accountPath);
    const bool copying = !edit.dryRun;
    Failure failure = update.open(copying ? AccountFileUpdate::Locking::Exclusive
                                          : AccountFileUpdate::Locking::None);
    if (!failure && copying)
        failure = update.createCopy();
    EditPass pass(update, edit, copying);
    bool copied = false;
    if (!failure && copying)
        failure = copyAroundLine(update, edit, pass, copied);
    if (!failure && !copied)
        failure = pass.run();
    if (failure && !copying) {
        EditResult result;
        result.errorText = fileReadErrorText(accountPath, *failure);
        result.loggedErrorText = result.errorText;
        return result;
    }
    if (failure)
        return fileError(accountPath, *failure);
    EditResult result;
    if (!pass.found) {
        result.outcome = EditOutcome::NoSuchAccount;
        return result; // the copy goes with the update, under its locks
    }
    // Rewriting the file for a line that stays as it is would only risk it, and log a change
    // that is none.
    if (leavesLineAsItIs(edit, pass)) {
        result.outcome = EditOutcome::Unchanged;
        result.lineNumber = pass.found->lineNumber;
        result.before = result.after = parseRecord(pass.newLine);
        return result;
    }
    if (copying)
        failure = commitWithBackup(update, edit.backup);
    foreignChange = update.foreignChange();
    if (failure)
        result = fileError(accountPath, *failure, update.changedFile());
    else
        result.outcome = EditOutcome::Done;
    // A change that landed is told in full, even when the flush after it failed.
    if (failure && !result.fileChanged)
        return result;
    result.lineNumber = pass.found->lineNumber;
    result.before = parseRecord(pass.found->line);
    if (!edit.remove)
        result.after = parseRecord(pass.newLine);
    return result;
}

// A program that ignores the lock wrote the file meanwhile: the edit starts again on the file as
// it now is, so that its change is kept.
EditResult editAccount(const QString &accountPath, const AccountEdit &edit)
{
    for (const FieldValue &value : edit.values) {
        // A value that would not read back as written must never reach the server's file.
        if (value.text.contains(u',') || !canBeStored(value.text)) {
            EditResult result = fileError(
                accountPath, QStringLiteral("the new value '%1' cannot be stored").arg(value.text));
            result.loggedErrorText = fileErrorText(
                accountPath,
                QStringLiteral("the new %1 cannot be stored").arg(fieldName(value.field)));
            return result;
        }
    }
    for (int attempt = 1;; ++attempt) {
        Failure foreignChange;
        EditResult result = editOnce(accountPath, edit, foreignChange);
        if (!foreignChange)
            return result;
        if (attempt == updateAttempts)
            return fileError(accountPath, keptChangingReason(*foreignChange));
    }
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

EditResult RemoveLines(const QString &applicationFolder, const QList<FileLine> &lines, bool backup,
                       bool dryRun)
{
    // Not built yet: the removal of given lines comes with the one rewrite pipeline.
    Q_UNUSED(lines);
    Q_UNUSED(backup);
    Q_UNUSED(dryRun);
    EditResult result;
    result.errorText = accountFilePath(applicationFolder) + QStringLiteral(": not supported yet");
    return result;
}

FindResult FindAccount(const QString &applicationFolder, const QString &username)
{
    const QString accountPath = accountFilePath(applicationFolder);
    FindResult result;
    AccountFileUpdate update(accountPath);
    if (Failure failure = update.open(AccountFileUpdate::Locking::None)) {
        result.errorText = fileReadErrorText(accountPath, *failure);
        return result;
    }
    const NameMatcher matcher(username);
    AccountLineReader reader(update.source());
    QByteArrayView line;
    while (reader.next(line)) {
        if (namesAccount(matcher, reader, line)) {
            result.outcome = EditOutcome::Done;
            result.lineNumber = reader.lineNumber();
            result.usernameInFile = parseRecord(line).username;
            return result;
        }
    }
    if (reader.failed()) {
        result.errorText = fileReadErrorText(accountPath, reader.errorText());
        return result;
    }
    result.outcome = EditOutcome::NoSuchAccount;
    return result;
}
