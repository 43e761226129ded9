#pragma once

#include "core/ListAccounts.h"

#include <QByteArray>

#include <functional>

struct CommandLine;

// How a text listing is laid out: tab-separated lines for scripts and pipes, or aligned columns
// under a header for a person at a terminal. JSON is the same either way.
enum class ListLayout
{
    Lines,
    Columns,
};

// What kadd list prints, handed to write in pieces as the file is read. In columns, a long list
// of GM flag names is cut to fit width characters.
ListResult writeListing(const CommandLine &line, ListLayout layout, int width,
                        const std::function<void(const QByteArray &)> &write);
