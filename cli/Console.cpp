#include "cli/Console.h"

#include <QList>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// The error of the first write to standard output that failed, or 0. A closed pipe ends kadd
// with SIGPIPE before that, as it ends any other tool.
int lostOutputError = 0;

void write(std::FILE *stream, const QByteArray &bytes)
{
    errno = 0;
    const bool written =
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream) == size_t(bytes.size()) &&
        std::fflush(stream) == 0;
    if (!written && stream == stdout && lostOutputError == 0)
        lostOutputError = errno != 0 ? errno : EIO;
}

void print(std::FILE *stream, const QString &line)
{
    write(stream, (line + u'\n').toLocal8Bit());
}

} // namespace

void printOut(const QString &line)
{
    print(stdout, line);
}

void printError(const QString &line)
{
    // Complaints quote what the operator or the files gave: never let that drive the terminal.
    // The program's name in front tells them from the output of the script that ran kadd.
    print(stderr, QStringLiteral("kadd: ") + printable(line));
}

void printOut(const QStringList &lines)
{
    if (!lines.isEmpty())
        print(stdout, lines.join(u'\n'));
}

void writeOut(const QByteArray &bytes)
{
    write(stdout, bytes);
}

QString lostOutputReason()
{
    return lostOutputError == 0 ? QString()
                                : QString::fromLocal8Bit(std::strerror(lostOutputError));
}
