#pragma once

#include "core/internal/Failure.h"

#include <QString>

// Gives each of two files the other's name in one step, so that neither name is ever missing.
// An Unsupported failure, with nothing changed, where the system or the file system has no such
// step.
Failure exchangeFiles(const QString &a, const QString &b);
