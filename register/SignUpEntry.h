#pragma once

#include "core/AccountFile.h"

#include <QByteArray>
#include <QString>

#include <optional>

// What a player typed into the sign-up form, from either body the service takes.
struct SignUpFields
{
    QString username;
    QString password;
    std::optional<QString> password2; // a JSON body may leave it out
    QString email;
    QString gender;    // "male" or "female"; empty means male, the form's preselection
    QString challenge; // the proof of work, when the service asks for one
    QString nonce;
};

enum class BodyKind
{
    Form, // application/x-www-form-urlencoded
    Json, // application/json
};

// Reads a request body; nothing when it is not valid UTF-8, not well formed, or a field has the
// wrong type. Fields other than these are ignored, GM flags among them.
std::optional<SignUpFields> readSignUpBody(const QByteArray &body, BodyKind kind);

// The outcome of checking an entry before it goes to the account file.
struct SignUpCheck
{
    bool passed = false;
    QString refusal;    // the rule's text as the window shows it, when not passed
    NewAccount account; // the record the main window would write, GM flags 0
};

// The seven rules in the window's order with its texts, then the repeated password, then the
// gender. via tells the system log where the account came from.
SignUpCheck checkSignUp(const SignUpFields &fields, const QString &via);
