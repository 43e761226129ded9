#include "cli/FileCheckCommands.h"

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/ExitStatus.h"
#include "cli/Report.h"

#include "core/AccountEdit.h"
#include "core/AccountFileCheck.h"
#include "core/AccountTable.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// Neither the text nor the JSON shows a line's bytes: they hold a password.
QString faultText(const AccountFileFault &fault)
{
    return QStringLiteral("line %1: %2")
        .arg(fault.lineNumber)
        .arg(fault.kind == AccountFileFault::Malformed
                 ? QStringLiteral("not an account record (%1)").arg(fault.reason)
                 : fault.reason);
}

QByteArray faultsJson(const AccountTable &table, const QList<AccountFileFault> &faults)
{
    QJsonArray found;
    for (const AccountFileFault &fault : faults) {
        QJsonObject object{{QStringLiteral("line"), fault.lineNumber},
                           {QStringLiteral("reason"), fault.reason}};
        if (fault.kind == AccountFileFault::Malformed) {
            object.insert(QStringLiteral("kind"), QStringLiteral("malformed"));
        } else {
            object.insert(QStringLiteral("kind"), QStringLiteral("name twice"));
            object.insert(QStringLiteral("firstLine"), fault.otherLine);
        }
        found.append(object);
    }
    const QJsonObject document{
        {QStringLiteral("file"), QDir::toNativeSeparators(table.accountFilePath())},
        {QStringLiteral("lines"), table.lineCount()},
        {QStringLiteral("sound"), faults.isEmpty()},
        {QStringLiteral("faults"), found}};
    return QJsonDocument(document).toJson();
}

bool loadTable(const CommandLine &line, AccountTable &table, int &status)
{
    const AccountTable::LoadResult loaded = table.load(line.applicationFolder);
    if (loaded.outcome != ReadOutcome::Done)
        status = reportFileError(loaded.errorText);
    return loaded.outcome == ReadOutcome::Done;
}

} // namespace

int runVerify(const CommandLine &line)
{
    AccountTable table;
    int status = ExitDone;
    if (!loadTable(line, table, status))
        return status;
    const QList<AccountFileFault> faults = findFaults(table);
    if (line.json) {
        writeOut(faultsJson(table, faults));
    } else if (faults.isEmpty()) {
        printOut(QStringLiteral("The account file is sound: %1 lines.").arg(table.lineCount()));
    } else {
        QStringList lines;
        for (const AccountFileFault &fault : faults)
            lines << faultText(fault);
        printOut(lines);
        printError(QStringLiteral("Lines to mend: %1; kadd repair --dry-run shows what it would "
                                  "drop.")
                       .arg(faults.size()));
    }
    return faults.isEmpty() ? ExitDone : ExitUnsound;
}

int runRepair(const CommandLine &line)
{
    AccountTable table;
    int status = ExitDone;
    if (!loadTable(line, table, status))
        return status;
    const QList<AccountFileFault> faults =
        findFaults(table, line.keepLast ? KeepLine::Last : KeepLine::First);
    if (faults.isEmpty()) {
        printOut(QStringLiteral("The account file is sound: nothing to repair."));
        return ExitDone;
    }
    QStringList lines;
    QList<FileLine> drop;
    for (const AccountFileFault &fault : faults) {
        lines << (line.dryRun ? QStringLiteral("Would drop ") : QStringLiteral("Dropped ")) +
                     faultText(fault);
        drop.append({fault.lineNumber, fault.text});
    }
    // What the dry run lists is what the file held when read; the removal itself checks each
    // line again under the lock.
    if (line.dryRun) {
        printOut(lines);
        printError(QStringLiteral("Dry run: the account file was not changed."));
        return ExitDone;
    }
    const EditResult result = RemoveLines(line.applicationFolder, drop, line.backup);
    if (result.outcome != EditOutcome::Done)
        return reportFileError(result.errorText, result.fileChanged);
    printOut(lines);
    return ExitDone;
}
