#pragma once

struct CommandLine;

// kadd add: one account, checked by the same rules and added through the same AddAccount as the
// window's Create Account.
int runAdd(const CommandLine &line);
