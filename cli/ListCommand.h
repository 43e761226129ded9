#pragma once

struct CommandLine;

// kadd list: the accounts of the file, as text or JSON.
int runList(const CommandLine &line);
