#pragma once

#include <QString>

class EntryView;

enum class CreateOutcome
{
    Refused, // a rule refused the entry
    Created,
    Duplicate, // "Username exist"
    FileError, // the account file could not be updated
};

inline const QString fileErrorTitle = QStringLiteral("Account File Error");

// The Create Account command: validate, build and show the record line, add it to the account
// file, then clear the entry or report what went wrong. Every outcome is shown in the view;
// the return value is for callers without a window.
CreateOutcome CreateAccount(EntryView &view);

// The main window's Clear command: empty the three boxes, select Male, reset the GM flags.
void ClearEntry(EntryView &view);
