#pragma once

struct CommandLine;

// The commands on one existing account: kadd check, passwd, set and remove.
int runCheck(const CommandLine &line);
int runPasswd(const CommandLine &line);
int runSet(const CommandLine &line);
int runRemove(const CommandLine &line);
