// Takes the update lock named on the command line, says "locked" on its standard output and
// holds the lock until its standard input closes: another program busy with the same file.
#include "core/internal/fs/UpdateLock.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    UpdateLock lock(QString::fromLocal8Bit(argv[1]));
    if (lock.acquire(10000))
        return 1;
    std::fputs("locked\n", stdout);
    std::fflush(stdout);
    char buffer[256];
    while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
    }
    return 0;
}
