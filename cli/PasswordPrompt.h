#pragma once

#include <QString>

#include <optional>

struct CommandLine;

// Reads one line from standard input. When standard input is a terminal, prompt is shown on
// standard error and the typed characters are not echoed, so the password appears neither on
// screen nor in the process list or shell history. An empty text at the end of input; nothing
// when the line's bytes are not text in the system's encoding, which would store another
// password than the one typed.
std::optional<QString> readPassword(const QString &prompt);

// The password the command line gave, or else the one read with readPassword(prompt).
std::optional<QString> passwordOf(const CommandLine &line, const QString &prompt);
