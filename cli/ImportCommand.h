#pragma once

struct CommandLine;

// kadd import: many accounts in one update of the account file, all or none.
int runImport(const CommandLine &line);
