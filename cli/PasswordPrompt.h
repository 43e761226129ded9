#pragma once

#include <QString>

// Reads one line from standard input. When standard input is a terminal, prompt is shown on
// standard error and the typed characters are not echoed, so the password appears neither on
// screen nor in the process list or shell history. An empty text at the end of input.
QString readPassword(const QString &prompt);
