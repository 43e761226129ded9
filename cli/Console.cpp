#include "Console.h"

#include <cstdio>

namespace {

void print(std::FILE *stream, const QString &line)
{
    const QByteArray bytes = (line + u'\n').toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

void printOut(const QString &line)
{
    print(stdout, line);
}

void printError(const QString &line)
{
    print(stderr, line);
}
