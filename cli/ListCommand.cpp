#include "cli/ListCommand.h"

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/ExitStatus.h"
#include "cli/ListingLayout.h"
#include "cli/Report.h"
#include "cli/TerminalOutput.h"

namespace {

// COLUMNS first: it is how a person or a script asks for another width than the terminal's.
int listingWidth()
{
    bool set = false;
    const int columns = qEnvironmentVariableIntValue("COLUMNS", &set);
    if (set && columns > 0)
        return columns;
    const int terminal = outputTerminalWidth();
    return terminal > 0 ? terminal : 80;
}

} // namespace

int runList(const CommandLine &line)
{
    // A person at a terminal reads columns; a pipe or a file gets the lines that scripts parse.
    const bool terminal = outputIsTerminal();
    const ListResult result = writeListing(line, terminal ? ListLayout::Columns : ListLayout::Lines,
                                           terminal ? listingWidth() : 80, writeOut);
    if (result.outcome != ReadOutcome::Done)
        return reportFileError(result.errorText);
    return ExitDone;
}
