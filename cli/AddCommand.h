#pragma once

struct CommandLine;

// kadd add: one account through the same Create Account command as the window's button.
int runAdd(const CommandLine &line);
