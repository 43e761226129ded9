#pragma once

#include "cli/PasswordPrompt.h"

#include <QString>

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
