#pragma once

#include <QString>

// "The file does not exist" sends an operator looking for a file that is there, and the system's
// bare "Permission denied" names neither what refused nor who may pass: when the system only
// refused this user, the reason names the folder or file, as its owner and mode show it, and the
// way out.

// The folder on the way to path that this user may not enter; empty when every folder on the way
// may be entered (path itself may still be missing).
QString unreachableReason(const QString &path);
// Why this user may not read (or write) the file or folder at path; empty when the system would
// let it, or when nothing is there.
QString refusedAccessReason(const QString &path, bool forWriting);
