#pragma once

struct CommandLine;

// kadd restore: the backup back in place of the account file, and the account file as the
// backup.
int runRestore(const CommandLine &line);
