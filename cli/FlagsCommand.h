#pragma once

struct CommandLine;

// kadd flags: the GM flag table, or the names of the flags in a total.
int runFlags(const CommandLine &line);
