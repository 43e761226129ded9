#pragma once

#include "core/TerminalText.h"

#include <QString>
#include <QStringList>

// Lines for the operator, in the terminal's encoding. Results go to standard output, so that
// scripts can read them; complaints go to standard error.
void printOut(const QString &line);
// Shown through printable(): complaints quote names, options and lines as they came. Each
// starts with "kadd: ".
void printError(const QString &line);
// Many lines in one write: one per line costs a system call each.
void printOut(const QStringList &lines);

// Bytes as they are, for output that has its own encoding (JSON is UTF-8).
void writeOut(const QByteArray &bytes);

// Why a write to standard output failed (a full disk, say), or empty while none has.
QString lostOutputReason();
