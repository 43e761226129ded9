#pragma once

#include "cli/PasswordPrompt.h"

#include <QString>

struct CommandLine;
struct ValidationResult;

// How every kadd command tells the operator that a rule refused a value or that the account
// file could not be read or changed; each returns the exit status that goes with it.
int reportRefused(const ValidationResult &check);
// fileChanged: the change is made, only not yet safe on disk.
int reportFileError(const QString &errorText, bool fileChanged = false);
// A password that was not read: its line's bytes are not text in the system's encoding, or it
// was typed twice differently.
int reportPasswordNotRead(NewPassword::Outcome outcome);

// A word as the operator would type it into a shell: quoted when it holds anything but
// letters, digits and . _ - @ +, for hints that name a command to run next.
QString shellWord(const QString &word);
// The hint after a name that the account file already holds: how to change that account.
QString changeExistingHint(const QString &username);

// "GM flags 384 (WARP+WHOIS)", as add and set tell the flags an account gets.
QString gmFlagsText(qint32 total);
// After a change made with --generate: the password, once, on standard output, for the operator
// to hand on. A change that may not yet be safe on disk is made all the same, so it is told too.
void printGeneratedPassword(const CommandLine &line, const QString &password, int status);
