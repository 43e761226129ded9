#pragma once

struct CommandLine;

// The commands that look the whole account file over and mend it: kadd verify and repair.
int runVerify(const CommandLine &line);
int runRepair(const CommandLine &line);
