#pragma once

#include "core/AccountFile.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

// One failing line of an import, as the operator is told about it.
struct BatchProblem
{
    int lineNumber = 0;
    QString reason;
    bool duplicate = false;     // the only fault is a username that is already taken
    bool alreadyInFile = false; // taken by the account file, not by an earlier line
};

struct ImportBatch
{
    QList<NewAccount> accounts; // the lines that passed, in input order
    QList<int> lineNumbers;     // the input line of each account
    QList<BatchProblem> problems;
};

// Reads an import file: one account per line in the account record's own format
// (username,password,gender,email,gm), CR LF or LF, blank and # lines skipped. Every line is
// checked by the entry rules and against the earlier lines for a case-insensitive duplicate;
// the account file is not consulted here.
ImportBatch readImportBatch(QByteArrayView bytes);
