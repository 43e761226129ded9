#pragma once

#include <QString>

#include <functional>
#include <optional>

struct CommandLine;

// Where a password is read from: lines typed at a terminal, each after its prompt, or the lines
// of a pipe or a file. readLine gives an empty text at the end of input, and nothing when the
// line's bytes are not text in the system's encoding, which would store another password than
// the one typed.
struct PasswordSource
{
    bool typed = false; // a person types it, unseen, and can mistype it
    std::function<std::optional<QString>(const QString &prompt)> readLine;
};

// Standard input. At a terminal the prompt is shown on standard error and the typed characters
// are not echoed, so the password appears neither on screen nor in the process list or shell
// history.
PasswordSource standardInput();

struct NewPassword
{
    enum class Outcome
    {
        Read,
        Undecodable,
        Mismatch, // typed twice, differently
    };
    Outcome outcome = Outcome::Read;
    QString text;
};

// A password to be stored. Typed unseen it is asked for twice, since a slip of the finger would
// otherwise lock the account's owner out; a script hands it over once.
NewPassword readNewPassword(const QString &prompt, const PasswordSource &source);

// The password the command line gave, a generated one for --generate, or else the one read
// from standard input.
NewPassword newPasswordOf(const CommandLine &line, const QString &prompt);
