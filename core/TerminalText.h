#pragma once

#include <QByteArray>
#include <QString>

// Text from the account file or the operator, made safe to show: control characters, line
// separators and other invisible characters that a terminal could take as a command are shown
// as \x{..} escapes. Line breaks stay.
QString printable(const QString &text);
// JSON with the same characters written as \u escapes, which QJsonDocument leaves as they are
// from U+0020 up (DEL, the C1 controls, the invisible ones): the same strings, safe to show.
QByteArray terminalSafeJson(const QByteArray &json);
