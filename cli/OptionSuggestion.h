#pragma once

#include <QString>
#include <QStringList>

// The known name a mistyped one was most likely meant as: the nearest within a few typing slips
// (a letter left out, added, changed), else the first that starts with it; empty when none is
// that close, so a password that starts with '-' is not taken for a slip.
QString closestName(const QString &typed, const QStringList &known);
