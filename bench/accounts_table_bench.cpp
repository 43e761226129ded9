// Times what the Accounts window asks of its table at 10^6 records of about 55 bytes: the load
// and a reload of the same file, the filter as a name is typed into it letter by letter and with
// wildcards, and the sort by each field; and what the loaded table costs in memory.
//
//   accounts-table-bench [RECORDS] [ROUNDS] [NON-ASCII]
//
// defaults 1000000, 5 and 1: the figures are medians over the rounds, and NON-ASCII in a hundred
// names hold a letter outside ASCII.

#include "core/AccountTable.h"

#include "bench/GeneratedAccounts.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {

// Names as players choose them: a word, a number, now and then capitals; nonAscii in a hundred
// carry a letter outside ASCII, which the table decodes.
QByteArray accountLine(quint64 i, int nonAscii)
{
    static const char *const words[] = {"dragon", "knight", "shadow", "mage",  "hunter",
                                        "storm",  "wolf",   "blade",  "raven", "drake"};
    static const char *const domains[] = {"@example.org", "@mail.net", "@post.com"};
    // A fixed scramble, so that every run reads the same file.
    const quint64 r = (i + 1) * 0x9E3779B97F4A7C15ull;
    QByteArray name = words[r % 10];
    if ((r >> 8) % 4 == 0)
        name[0] = char(name[0] - 'a' + 'A');
    if (int((r >> 16) % 100) < nonAscii)
        name += "\xC3\xA9"; // é
    name += QByteArray::number(i);
    return name + ",secret" + QByteArray::number((r >> 24) % 99991) + ',' +
           QByteArray::number((r >> 40) % 2) + ',' + name.toLower() + domains[(r >> 44) % 3] + ',' +
           QByteArray::number((r >> 48) % 70 == 0 ? (r >> 32) % 65536 : 0) + "\r\n";
}

// The resident memory in MiB, or -1 where /proc does not tell.
double residentMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    }
    return -1;
}

// The medians of the time taken and of the processor time spent by all threads: on a machine
// shared with other work the second tells what the first would be on an idle one.
struct Timing
{
    double ms = 0;
    double cpuMs = 0;
};

Timing median(int rounds, const std::function<void()> &work)
{
    std::vector<double> times;
    std::vector<double> cpuTimes;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        const std::clock_t cpuStart = std::clock();
        work();
        cpuTimes.push_back(double(std::clock() - cpuStart) * 1000 / CLOCKS_PER_SEC);
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    std::sort(cpuTimes.begin(), cpuTimes.end());
    return {times[times.size() / 2], cpuTimes[cpuTimes.size() / 2]};
}

void print(const QByteArray &what, const Timing &timing, const QByteArray &more = {})
{
    std::printf("%-28s %9.1f ms  (processor %7.1f ms)%s\n", what.constData(), timing.ms,
                timing.cpuMs, more.constData());
}

} // namespace

int main(int argc, char **argv)
{
    const qint64 records = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    const int rounds = argc > 2 ? QByteArray(argv[2]).toInt() : 5;
    const int nonAscii = argc > 3 ? QByteArray(argv[3]).toInt() : 1;
    QTemporaryDir folder(QDir::currentPath() + QStringLiteral("/accounts-table-bench-XXXXXX"));
    const QString server = folder.path();
    const QString accounts = server + QStringLiteral("/kData/kPlayer/kAdd.txt");
    if (records <= 0 || rounds <= 0 || !folder.isValid() ||
        !QDir().mkpath(server + QStringLiteral("/kData/kPlayer")) ||
        !writeAccountFile(accounts, records,
                          [nonAscii](qint64 i) { return accountLine(quint64(i), nonAscii); })) {
        std::fprintf(stderr, "cannot write the account file\n");
        return 1;
    }
    std::printf("%lld records, %.1f MB, %d%% of the names not ASCII, medians of %d rounds\n",
                records, QFile(accounts).size() / 1e6, nonAscii, rounds);

    const double before = residentMiB();
    AccountTable table;
    bool loaded = false;
    print("load", median(1, [&] { loaded = table.load(server).outcome == ReadOutcome::Done; }));
    if (!loaded) {
        std::fprintf(stderr, "cannot load the account file\n");
        return 1;
    }
    const double after = residentMiB();
    print("reload", median(rounds, [&] { table.load(server); }));
    if (before < 0)
        std::printf("%-28s %12s\n", "memory of the table", "n/a");
    else
        std::printf("%-28s %9.1f MiB (file %.1f MiB, %lld lines, %lld malformed)\n",
                    "memory of the table", after - before, QFile(accounts).size() / 1048576.0,
                    qlonglong(table.lineCount()), qlonglong(table.malformedCount()));

    for (const char *text : {"d", "dr", "dra", "drag", "drago", "dragon", "dragon7", "dragon77",
                             "@example", "*a*7*", "dr?g*9", "é", "zzz"}) {
        qsizetype kept = 0;
        const Timing timing =
            median(rounds, [&] { kept = table.filter(QString::fromUtf8(text)).size(); });
        print("filter \"" + QByteArray(text) + '"', timing,
              "  " + QByteArray::number(qlonglong(kept)) + " lines");
    }

    const QList<qsizetype> all = table.filter(QString());
    const struct
    {
        RecordField field;
        const char *name;
    } fields[] = {{UsernameField, "username"},
                  {EmailField, "e-mail"},
                  {PasswordField, "password"},
                  {GmFlagsField, "GM flags"}};
    for (const auto &field : fields) {
        print(QByteArray("sort by ") + field.name, median(rounds, [&] {
                  QList<qsizetype> indexes = all;
                  table.sort(indexes, field.field, Qt::AscendingOrder);
              }));
    }
    print("find a name that is not there",
          median(rounds, [&] { table.find(QStringLiteral("nobody")); }));
    return 0;
}
