#include "cli/RestoreCommand.h"

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/ExitStatus.h"
#include "cli/Report.h"
#include "cli/TerminalInput.h"

#include "core/AccountRestore.h"

namespace {

bool confirmed()
{
    writeOut("Swap the account file and its backup? [y/N] ");
    const std::optional<QString> answer = readInputLine();
    return answer && QStringList{QStringLiteral("y"), QStringLiteral("yes")}.contains(
                         answer->trimmed(), Qt::CaseInsensitive);
}

} // namespace

int runRestore(const CommandLine &line)
{
    // A script that forgot --yes must not hang on a question nobody sees.
    if (!line.yes && !inputIsTerminal()) {
        printError(QStringLiteral("restore asks before it swaps the files; without a terminal, "
                                  "give --yes."));
        return ExitUsage;
    }
    const RestorePreview preview = PreviewRestore(line.applicationFolder);
    if (preview.outcome != ReadOutcome::Done)
        return reportFileError(preview.errorText);
    printOut(QStringLiteral("%1 accounts only in the current file, %2 only in the backup.")
                 .arg(preview.onlyInCurrent)
                 .arg(preview.onlyInBackup));
    if (!line.yes && !confirmed()) {
        printOut(QStringLiteral("Nothing was restored."));
        return ExitDone;
    }
    const RestoreResult result = RestoreBackup(line.applicationFolder, preview);
    if (result.outcome != RestoreOutcome::Done)
        return reportFileError(result.errorText, result.fileChanged);
    printOut(QStringLiteral("Restored the backup; the file it replaced is now the backup (kadd "
                            "restore again undoes this)."));
    return ExitDone;
}
