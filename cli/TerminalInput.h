#pragma once

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <optional>

// What the password prompt needs of the terminal; one file per system.

// Far beyond any password the rules let in; a line without end (kadd add x < /dev/zero) must
// not take all memory.
inline constexpr qsizetype longestInputLine = 4096;

// Whether standard input is a terminal (a console on Windows) that a person types at.
bool inputIsTerminal();
// One line from standard input as it comes from a pipe or a file; the same rules for a terminal
// on systems whose terminal hands over bytes in the system's encoding.
std::optional<QString> readInputLine();
// One line typed at the terminal after prompt, with the echo off while it is typed and restored
// however the program ends; the line end the person typed is echoed. The prompt shows only once
// the echo is off: what is typed as soon as it shows (a second password, say) never appears.
std::optional<QString> readTypedLine(QByteArrayView prompt);
