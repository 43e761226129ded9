#pragma once

#include <QString>

// What an operation on the account file answers. An operation with more to tell derives its
// result from this and adds only that; its outcome enum names what came of it and holds
// FileError, the value a result starts from until the operation has done its work.
//
// errorText: for FileError, the account file's full path and the reason; outcomes that refuse a
// change because the file moved on (a line that changed meanwhile, a file changed since its
// preview) tell why here too.
// fileChanged: for FileError of an operation that changes the file, the change is made but not
// yet safe on disk, so the caller must not say that nothing happened. Always false for an
// operation that only reads.
template <typename Outcome> struct OperationResult
{
    Outcome outcome = Outcome::FileError;
    QString errorText;
    bool fileChanged = false;
};

// The outcome of an operation that only reads the account file. Cancelled is a read stopped on
// the caller's request: it has no error text.
enum class ReadOutcome
{
    Done,
    FileError,
    Cancelled,
};
