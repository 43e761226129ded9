#include "cli/ImportCommand.h"

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/ExitStatus.h"
#include "cli/ImportBatch.h"
#include "cli/Report.h"

#include "core/AccountFile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

namespace {

// QFile over stdin cannot be used here: on Windows it reports a read error at the end of a pipe.
std::optional<QByteArray> readStandardInput()
{
#ifdef Q_OS_WIN
    // Byte for byte: text mode would fold CR LF and take a Ctrl-Z for the end of the input.
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    QByteArray bytes;
    char buffer[64 * 1024];
    for (;;) {
        const size_t got = std::fread(buffer, 1, sizeof buffer, stdin);
        bytes.append(buffer, qsizetype(got));
        if (got < sizeof buffer)
            break;
    }
    if (!std::ferror(stdin))
        return bytes;
    printError(QStringLiteral("cannot read standard input: %1")
                   .arg(QString::fromLocal8Bit(std::strerror(errno))));
    return std::nullopt;
}

std::optional<QByteArray> readInput(const QString &name)
{
    if (name == QLatin1String("-"))
        return readStandardInput();
    QFile input(name);
    if (input.open(QIODevice::ReadOnly)) {
        QByteArray bytes = input.readAll();
        if (input.error() == QFileDevice::NoError)
            return bytes;
    }
    printError(QStringLiteral("cannot read %1: %2").arg(name, input.errorString()));
    return std::nullopt;
}

void addTakenNames(ImportBatch &batch, const QList<int> &alreadyTaken)
{
    for (const int index : alreadyTaken)
        batch.problems.append({batch.lineNumbers.at(index),
                               QStringLiteral("Username exist: %1 is already in the account file")
                                   .arg(batch.accounts.at(index).username),
                               true, true});
}

int reportProblems(ImportBatch &batch)
{
    std::stable_sort(
        batch.problems.begin(), batch.problems.end(),
        [](const BatchProblem &a, const BatchProblem &b) { return a.lineNumber < b.lineNumber; });
    for (const BatchProblem &problem : std::as_const(batch.problems))
        printError(QStringLiteral("line %1: %2").arg(problem.lineNumber).arg(problem.reason));
    printError(QStringLiteral("Nothing imported: %1 line(s) failed; the account file was not "
                              "changed.")
                   .arg(batch.problems.size()));
    if (std::any_of(batch.problems.cbegin(), batch.problems.cend(),
                    [](const BatchProblem &problem) { return problem.alreadyInFile; }))
        printError(QStringLiteral("To change an account that the file holds, take its line out "
                                  "and run kadd passwd NAME or kadd set NAME."));
    const bool onlyDuplicates =
        std::all_of(batch.problems.cbegin(), batch.problems.cend(),
                    [](const BatchProblem &problem) { return problem.duplicate; });
    return onlyDuplicates ? ExitDuplicate : ExitRefused;
}

// One line per account of the batch, in the order of the import file.
QStringList eachAccount(const ImportBatch &batch, const QString &pattern)
{
    QStringList lines;
    lines.reserve(batch.accounts.size());
    for (const NewAccount &account : batch.accounts)
        lines.append(pattern.arg(printable(account.username)));
    return lines;
}

} // namespace

int runImport(const CommandLine &line)
{
    const std::optional<QByteArray> input = readInput(line.importFile);
    if (!input)
        return ExitUsage;
    ImportBatch batch = readImportBatch(*input);
    if (batch.accounts.isEmpty() && batch.problems.isEmpty()) {
        printError(QStringLiteral("No accounts to import; the account file was not changed."));
        return ExitCreated;
    }

    // With lines already failing, or for a dry run, the file is only read: every line that
    // fails is still reported, and nothing is written.
    if ((!batch.problems.isEmpty() || line.dryRun) && !batch.accounts.isEmpty()) {
        const BatchResult check =
            AddAccounts(line.applicationFolder, batch.accounts, BatchMode::CheckOnly);
        if (check.outcome == AddOutcome::FileError)
            return reportFileError(check.errorText);
        addTakenNames(batch, check.alreadyTaken);
    }
    if (!batch.problems.isEmpty())
        return reportProblems(batch);
    if (line.dryRun) {
        printOut(eachAccount(batch, QStringLiteral("Would create %1")));
        printError(QStringLiteral("Dry run: %1 account(s) would be created; the account file "
                                  "was not changed.")
                       .arg(batch.accounts.size()));
        return ExitCreated;
    }

    // One locked pass checks the file and appends the whole batch, so a name added by someone
    // else since the input was read still counts as a duplicate.
    const QString origin = line.importFile == QLatin1String("-")
                               ? QStringLiteral("standard input")
                               : QFileInfo(line.importFile).absoluteFilePath();
    const BatchResult result =
        AddAccounts(line.applicationFolder, batch.accounts, BatchMode::Append, origin, line.backup);
    switch (result.outcome) {
    case AddOutcome::Created:
        break;
    case AddOutcome::Duplicate:
        addTakenNames(batch, result.alreadyTaken);
        return reportProblems(batch);
    case AddOutcome::FileError:
        return reportFileError(result.errorText, result.fileChanged);
    }
    printOut(eachAccount(batch, QStringLiteral("Created %1")));
    printError(QStringLiteral("Imported %1 account(s).").arg(batch.accounts.size()));
    return ExitCreated;
}
