#pragma once

#include "core/OperationResult.h"

#include <QByteArray>
#include <QString>

#include <functional>

struct CommandLine;

struct ExportResult : OperationResult<ReadOutcome>
{
    qsizetype leftOut = 0; // matching lines that are not well-formed records
};

// The record lines whose username or e-mail the pattern matches (all for an empty one), as the
// account file holds them, passwords included, each ended by CR LF: what kadd import reads.
ExportResult writeExport(const QString &applicationFolder, const QString &pattern,
                         const std::function<void(const QByteArray &)> &write);

// kadd export.
int runExport(const CommandLine &line);
