// Times one account-file update against plainly copying the same file and flushing the copy,
// for account files of 10^3 to 10^6 records. Each size runs in a child process of its own so
// that its peak memory is its own.

#include "AccountFile.h"
#include "RecordLine.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

QString recordName(qint64 index)
{
    return QStringLiteral("player%1").arg(index, 7, 10, QLatin1Char('0'));
}

bool writeAccountFile(const QString &path, qint64 records)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray chunk;
    for (qint64 i = 0; i < records; ++i) {
        chunk += BuildRecordLine(recordName(i), QStringLiteral("secret%1").arg(i % 9973), i % 2,
                                 QStringLiteral("%1@example.org").arg(recordName(i)), 0)
                     .toUtf8();
        chunk += "\r\n";
        if (chunk.size() > (1 << 20)) {
            if (file.write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    return file.write(chunk) == chunk.size() && file.flush();
}

// The yardstick: the same bytes read and written once, then flushed to disk.
bool plainCopy(const QString &from, const QString &to)
{
    QFile source(from);
    QFile copy(to);
    if (!source.open(QIODevice::ReadOnly | QIODevice::Unbuffered) ||
        !copy.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return false;
    QByteArray buffer(256 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 got = source.read(buffer.data(), buffer.size());
        if (got < 0)
            return false;
        if (got == 0)
            break;
        if (copy.write(buffer.constData(), got) != got)
            return false;
    }
#ifdef Q_OS_UNIX
    return ::fsync(copy.handle()) == 0;
#else
    return true;
#endif
}

// Linux lets a process restart its peak-memory count, so building the test file is left out.
void resetPeakMemory()
{
#ifdef Q_OS_LINUX
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
#endif
}

double peakMemoryMiB()
{
#ifdef Q_OS_LINUX
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
        }
    }
#endif
#ifdef Q_OS_UNIX
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
#else
    return 0;
#endif
}

double milliseconds(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e6;
}

int runOneSize(qint64 records)
{
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/kelto-bench-XXXXXX"));
    const QString server = dir.filePath(QStringLiteral("server"));
    QDir().mkpath(server + QStringLiteral("/kData/kPlayer"));
    QDir().mkpath(dir.filePath(QStringLiteral("work")));
    QDir::setCurrent(dir.filePath(QStringLiteral("work")));
    const QString accounts = accountFilePath(server);
    if (!writeAccountFile(accounts, records)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(accounts));
        return 1;
    }
    const double megabytes = QFileInfo(accounts).size() / 1e6;
    resetPeakMemory();

    QElapsedTimer timer;
    timer.start();
    if (!plainCopy(accounts, dir.filePath(QStringLiteral("copy.txt"))))
        return 1;
    const double copyMs = milliseconds(timer);

    const QString line = BuildRecordLine(QStringLiteral("newcomer"), QStringLiteral("secret"), 1,
                                         QStringLiteral("none"), 0);
    timer.restart();
    const AddOutcome created = AddAccount(server, QStringLiteral("newcomer"), line).outcome;
    const double addMs = milliseconds(timer);

    // The last line is the newcomer's: the scan reads the whole file before it finds it.
    timer.restart();
    const AddOutcome duplicate = AddAccount(server, QStringLiteral("NEWCOMER"), line).outcome;
    const double duplicateMs = milliseconds(timer);

    if (created != AddOutcome::Created || duplicate != AddOutcome::Duplicate) {
        std::fprintf(stderr, "unexpected outcome at %lld records\n", records);
        return 1;
    }
    std::printf("%9lld %9.1f %10.1f %9.1f %12.1f %9.1f %11.2f %9.1f\n", records, megabytes, addMs,
                megabytes / (addMs / 1000.0), duplicateMs, copyMs, addMs / copyMs, peakMemoryMiB());
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == QLatin1String("--records"))
        return runOneSize(args.at(2).toLongLong());

    std::printf("One AddAccount on files of N records, against a plain copy + flush of the same "
                "file.\nRun in %s (put it on the disk you care about).\n\n",
                qPrintable(QDir::currentPath()));
    std::printf("%9s %9s %10s %9s %12s %9s %11s %9s\n", "records", "MB", "add ms", "MB/s",
                "dup-last ms", "copy ms", "add/copy", "peak MiB");
    std::fflush(stdout);
    for (const qint64 records : {1000LL, 10000LL, 100000LL, 1000000LL}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(app.applicationFilePath(),
                    {QStringLiteral("--records"), QString::number(records)});
        if (!child.waitForFinished(-1) || child.exitCode() != 0)
            return 1;
    }
    return 0;
}
