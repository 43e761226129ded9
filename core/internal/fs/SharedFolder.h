#pragma once

#include <QString>

// Whether every user of the system may create files in folder, as in /tmp: a file found there
// may have been put there by anyone.
bool anyoneMayWrite(const QString &folder);
