#pragma once

#include "core/AccountPattern.h"
#include "core/AccountRecord.h"
#include "core/OperationResult.h"

#include <QString>

#include <functional>

using ListResult = OperationResult<ReadOutcome>;

// Reads the account file, without a lock, and hands every line whose username or e-mail the
// pattern matches to the visitor, in file order, with its line number. Lines that are not
// well-formed records are handed over too, marked as such, matched by the fields parseRecord()
// reads of them.
ListResult ListAccounts(const QString &applicationFolder, const AccountPattern &pattern,
                        const std::function<void(int lineNumber, const AccountRecord &)> &visit);

// The same, with every plain record of printable ASCII handed to visitPlain instead, as the
// line's bytes (valid during the visit only): a listing of a million accounts then builds no text
// for them, and shows them as they are, without escaping. Every other line goes to visitRecord
// as parseRecord() reads it.
ListResult
ListAccounts(const QString &applicationFolder, const AccountPattern &pattern,
             const std::function<void(int lineNumber, const PlainRecord &)> &visitPlain,
             const std::function<void(int lineNumber, const AccountRecord &)> &visitRecord);
