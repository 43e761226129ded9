#include "cli/ExportCommand.h"

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/ExitStatus.h"
#include "cli/Report.h"

#include "core/AccountTable.h"

namespace {

constexpr qsizetype flushSize = 64 * 1024;

} // namespace

ExportResult writeExport(const QString &applicationFolder, const QString &pattern,
                         const std::function<void(const QByteArray &)> &write)
{
    ExportResult result;
    AccountTable table;
    const AccountTable::LoadResult loaded = table.load(applicationFolder);
    if (loaded.outcome != ReadOutcome::Done) {
        result.errorText = loaded.errorText;
        return result;
    }
    QByteArray out;
    out.reserve(flushSize + 4096);
    for (const qsizetype index : table.filter(pattern)) {
        if (table.isMalformed(index)) {
            ++result.leftOut;
            continue;
        }
        out.append(table.line(index)).append("\r\n");
        if (out.size() >= flushSize) {
            write(out);
            out.resize(0);
        }
    }
    if (!out.isEmpty())
        write(out);
    result.outcome = ReadOutcome::Done;
    return result;
}

int runExport(const CommandLine &line)
{
    const ExportResult result = writeExport(line.applicationFolder, line.pattern, writeOut);
    if (result.outcome != ReadOutcome::Done)
        return reportFileError(result.errorText);
    if (result.leftOut > 0)
        printError(QStringLiteral("Lines that are not account records, left out: %1; kadd "
                                  "verify lists them.")
                       .arg(result.leftOut));
    return ExitDone;
}
