#pragma once

#include <QString>

struct ValidationResult;

// How every kadd command tells the operator that a rule refused a value or that the account
// file could not be read or changed; each returns the exit status that goes with it.
int reportRefused(const ValidationResult &check);
// fileChanged: the change is made, only not yet safe on disk.
int reportFileError(const QString &errorText, bool fileChanged = false);
// A password line whose bytes are not text in the system's encoding.
int reportUndecodablePassword();
