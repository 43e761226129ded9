#pragma once

#include <QString>

// Lines for the operator, in the terminal's encoding. Results go to standard output, so that
// scripts can read them; complaints go to standard error.
void printOut(const QString &line);
void printError(const QString &line);
