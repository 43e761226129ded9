#pragma once

#include <QString>

class EntryView;

struct ValidationResult
{
    bool passed = true;
    QString text;  // message of the rule that failed
    QString title; // its message box title

    static ValidationResult pass() { return {}; }
    static ValidationResult fail(const QString &text, const QString &title)
    {
        return {false, text, title};
    }
};

// Checks the username, password and e-mail boxes of the view. An empty e-mail box is filled
// with "none" before the length rules run, and keeps it even when a later rule fails.
ValidationResult ValidateEntry(EntryView &view);

// The same rules on plain texts; an empty email becomes "none".
ValidationResult validateAccountTexts(const QString &username, const QString &password,
                                      QString &email);

// The rules of creation for a new password or e-mail of an existing account, that field alone;
// an empty email becomes "none".
ValidationResult validateNewPassword(const QString &password);
ValidationResult validateNewEmail(QString &email);
