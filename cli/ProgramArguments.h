#pragma once

#include <QString>
#include <QStringList>

// kadd runs without a QCoreApplication: making one (locale files, an event dispatcher) costs
// more than a whole add to a small account file, and nothing in kadd needs an event loop.
// These give what the application object would have given.

// The command line as the operator typed it, the program first; on Windows from the wide
// command line, so that names outside the ANSI code page arrive intact. An argument whose bytes
// are not text in the system's encoding would be stored as something else than was typed: the
// place of the first such (from 1) goes to undecodable, else 0.
QStringList programArguments(int argc, char *argv[], int &undecodable);

// The absolute folder the running program file sits in, links resolved.
QString programFolder();
