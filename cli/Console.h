#pragma once

#include <QString>
#include <QStringList>

// Lines for the operator, in the terminal's encoding. Results go to standard output, so that
// scripts can read them; complaints go to standard error.
void printOut(const QString &line);
// Shown through printable(): complaints quote names, options and lines as they came.
void printError(const QString &line);
// Many lines in one write: one per line costs a system call each.
void printOut(const QStringList &lines);

// Bytes as they are, for output that has its own encoding (JSON is UTF-8).
void writeOut(const QByteArray &bytes);

// Why a write to standard output failed (a full disk, say), or empty while none has.
QString lostOutputReason();

// Text from the account file, made safe to show: control characters, line separators and other
// invisible characters that a terminal could take as a command are shown as \x{..} escapes.
// Line breaks stay.
QString printable(const QString &text);
// JSON with the same characters written as \u escapes, which QJsonDocument leaves as they are
// from U+0020 up (DEL, the C1 controls, the invisible ones): the same strings, safe to show.
QByteArray terminalSafeJson(const QByteArray &json);
