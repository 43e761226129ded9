// Times whole `kadd add` processes against the floor of any atomic rewrite (account-floor: read
// the file, write a copy with one line more, flush it, rename it over the original, flush the
// folder), on account files of 10^3 to 10^6 records of about 55 bytes. Each round runs the floor,
// an add of a new name and an add of that same name in other letter case (a duplicate found on
// the last line), interleaved so that a slow moment of the disk hits all three alike; the
// figures are medians over the rounds.
//
// Then the same on a scratch copy-on-write file system (XFS, made when running as root), beside
// the floor of cloning the file instead of copying it, and consecutive adds there: each add
// starts from the file the previous one left, as a script adding accounts one by one has them.
// Last, listing 10^6 records as text and as JSON.
//
// Apart, at 10^3 and 10^6 records beside the floor: an add, a duplicate, a new password, a new
// e-mail address and the removal of an account on a line in the middle of the file, and an
// import of 10,000 accounts.
//
//   account-bench [ROUNDS]     default 11; run it in a folder on the disk you care about
//   account-bench ROUNDS RECORDS...        only those sizes, on this disk
//   account-bench --xfs [ROUNDS]           only the rows on XFS
//   account-bench --list [ROUNDS]          only the listings
//   account-bench --edit [ROUNDS]          only those operations
//   KADD=PATH account-bench ...            times that kadd instead of the one built beside it

#include "tests/support/ScratchCowFileSystem.h"

#include "bench/GeneratedAccounts.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// KADD names another kadd to time, such as one built from another commit.
QString kaddPath()
{
    return qEnvironmentVariable("KADD", QStringLiteral(KADD_PATH));
}

struct Run
{
    double milliseconds = 0;
    int exitCode = -1;
    double peakMiB = 0;
};

// fork and exec rather than QProcess: nothing but the child's own start-up is timed.
Run runProgram(const QStringList &arguments, const QString &workFolder)
{
    std::vector<QByteArray> storage;
    for (const QString &argument : arguments)
        storage.push_back(QFile::encodeName(argument));
    std::vector<char *> argv;
    for (QByteArray &each : storage)
        argv.push_back(each.data());
    argv.push_back(nullptr);
    const QByteArray folder = QFile::encodeName(workFolder);

    Run run;
    QElapsedTimer timer;
    timer.start();
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        if (::chdir(folder.constData()) == 0)
            ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child)
        return run;
    run.milliseconds = timer.nsecsElapsed() / 1e6;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakMiB = usage.ru_maxrss / 1024.0;
    return run;
}

QByteArray recordName(qint64 index)
{
    return QByteArrayLiteral("player") + QByteArray::number(index).rightJustified(7, '0');
}

QByteArray recordLine(qint64 index)
{
    return recordName(index) + ",secret" + QByteArray::number(index % 9973) + "," +
           QByteArray::number(index % 2) + "," + recordName(index) + "@example.org,0\r\n";
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

struct Figures
{
    double megabytes = 0;
    double floor = 0;
    double cloneFloor = 0;
    double add = 0;
    double duplicate = 0;
    double peakMiB = 0;
};

// A scratch server folder below base whose account file holds records lines, and a working
// folder beside it.
struct BenchFolder
{
    BenchFolder(const QString &base, qint64 records)
        : dir(base + QStringLiteral("/kelto-bench-XXXXXX")),
          server(dir.filePath(QStringLiteral("server"))),
          work(dir.filePath(QStringLiteral("work"))),
          accounts(server + QStringLiteral("/kData/kPlayer/kAdd.txt"))
    {
        made = dir.isValid() && QDir().mkpath(server + QStringLiteral("/kData/kPlayer")) &&
               QDir().mkpath(work) && writeAccountFile(accounts, records, recordLine);
        if (!made)
            std::fprintf(stderr, "account-bench: cannot make the account file in %s\n",
                         qPrintable(base));
    }

    QTemporaryDir dir;
    QString server;
    QString work;
    QString accounts;
    bool made = false;
};

bool measure(const QString &base, qint64 records, int rounds, bool withCloneFloor, Figures &figures)
{
    const BenchFolder folder(base, records);
    if (!folder.made)
        return false;
    const QString &server = folder.server;
    const QString &work = folder.work;
    const QString &accounts = folder.accounts;
    figures.megabytes = QFileInfo(accounts).size() / 1e6;
    std::vector<double> floor, cloneFloor, add, duplicate;
    for (int round = 0; round < rounds; ++round) {
        const Run plain = runProgram({QStringLiteral(FLOOR_PATH), accounts}, work);
        const Run cloned =
            withCloneFloor
                ? runProgram({QStringLiteral(FLOOR_PATH), QStringLiteral("--clone"), accounts},
                             work)
                : Run{0, 0, 0};
        const QString name = QStringLiteral("newcomer%1").arg(round);
        const Run created =
            runProgram({kaddPath(), QStringLiteral("add"), name, QStringLiteral("secret1"),
                        QStringLiteral("--app-dir"), server},
                       work);
        const Run taken =
            runProgram({kaddPath(), QStringLiteral("add"), name.toUpper(),
                        QStringLiteral("secret1"), QStringLiteral("--app-dir"), server},
                       work);
        if (plain.exitCode != 0 || cloned.exitCode != 0 || created.exitCode != 0 ||
            taken.exitCode != 1) {
            std::fprintf(stderr, "account-bench: unexpected exit codes %d %d %d %d\n",
                         plain.exitCode, cloned.exitCode, created.exitCode, taken.exitCode);
            return false;
        }
        floor.push_back(plain.milliseconds);
        cloneFloor.push_back(cloned.milliseconds);
        add.push_back(created.milliseconds);
        duplicate.push_back(taken.milliseconds);
        figures.peakMiB = std::max({figures.peakMiB, created.peakMiB, taken.peakMiB});
    }
    figures.floor = median(floor);
    figures.cloneFloor = median(cloneFloor);
    figures.add = median(add);
    figures.duplicate = median(duplicate);
    return true;
}

// Adds that follow one another on the same file, interleaved with the floor doing the same to a
// file of its own. On XFS each add leaves a clone, whose pages are not in the cache as the
// copy's pages are after a plain copy.
bool printConsecutive(const QString &base, qint64 records, int rounds)
{
    QTemporaryDir dir(base + QStringLiteral("/kelto-bench-XXXXXX"));
    const QString server = dir.filePath(QStringLiteral("server"));
    const QString work = dir.filePath(QStringLiteral("work"));
    const QString accounts = server + QStringLiteral("/kData/kPlayer/kAdd.txt");
    const QString floorFile = work + QStringLiteral("/floor.txt");
    if (!dir.isValid() || !QDir().mkpath(server + QStringLiteral("/kData/kPlayer")) ||
        !QDir().mkpath(work) || !writeAccountFile(accounts, records, recordLine) ||
        !writeAccountFile(floorFile, records, recordLine)) {
        std::fprintf(stderr, "account-bench: cannot make the account files in %s\n",
                     qPrintable(base));
        return false;
    }
    std::vector<double> floor, add;
    double peakMiB = 0;
    // The first round only makes each file the previous run's own.
    for (int round = -1; round < rounds; ++round) {
        const Run plain = runProgram({QStringLiteral(FLOOR_PATH), floorFile}, work);
        const Run created = runProgram(
            {kaddPath(), QStringLiteral("add"), QStringLiteral("follower%1").arg(round + 1),
             QStringLiteral("secret1"), QStringLiteral("--app-dir"), server},
            work);
        if (plain.exitCode != 0 || created.exitCode != 0) {
            std::fprintf(stderr, "account-bench: unexpected exit codes %d %d\n", plain.exitCode,
                         created.exitCode);
            return false;
        }
        if (round < 0)
            continue;
        floor.push_back(plain.milliseconds);
        add.push_back(created.milliseconds);
        peakMiB = std::max(peakMiB, created.peakMiB);
    }
    std::printf("%9s %9s %8s %9s %9s\n", "records", "floor ms", "add ms", "add/floor", "peak MiB");
    std::printf("%9lld %9.2f %8.2f %8.2fx %9.1f\n", records, median(floor), median(add),
                median(add) / median(floor), peakMiB);
    std::fflush(stdout);
    return true;
}

// kadd list and kadd list --json of every record, into /dev/null.
bool printListings(const QString &base, qint64 records, int rounds)
{
    QTemporaryDir dir(base + QStringLiteral("/kelto-bench-XXXXXX"));
    const QString server = dir.filePath(QStringLiteral("server"));
    if (!dir.isValid() || !QDir().mkpath(server + QStringLiteral("/kData/kPlayer")) ||
        !writeAccountFile(server + QStringLiteral("/kData/kPlayer/kAdd.txt"), records,
                          recordLine)) {
        std::fprintf(stderr, "account-bench: cannot make the account file in %s\n",
                     qPrintable(base));
        return false;
    }
    std::printf("%9s %-22s %8s %9s\n", "records", "command", "ms", "peak MiB");
    for (const QStringList &options : {QStringList(), QStringList{QStringLiteral("--json")}}) {
        std::vector<double> times;
        double peakMiB = 0;
        for (int round = 0; round < rounds; ++round) {
            const Run listed = runProgram(QStringList{kaddPath(), QStringLiteral("list"),
                                                      QStringLiteral("--app-dir"), server} +
                                              options,
                                          dir.path());
            if (listed.exitCode != 0) {
                std::fprintf(stderr, "account-bench: kadd list ended with %d\n", listed.exitCode);
                return false;
            }
            times.push_back(listed.milliseconds);
            peakMiB = std::max(peakMiB, listed.peakMiB);
        }
        std::printf("%9lld %-22s %8.1f %9.1f\n", records,
                    qPrintable((QStringList{QStringLiteral("kadd list")} + options).join(u' ')),
                    median(times), peakMiB);
        std::fflush(stdout);
    }
    return true;
}

// Writes a batch of count new records for kadd import, numbered from first.
bool writeImportBatch(const QString &path, qint64 first, int count)
{
    return writeAccountFile(path, count, [first](qint64 i) { return recordLine(first + i); });
}

// Each round adds a new name and the same in other case, edits another account, so that no edit
// finds its line as it wants it, and imports a batch; then the file is put back as it was, so
// that every round sees the same size.
bool printOperations(const QString &base, qint64 records, int rounds)
{
    const BenchFolder folder(base, records);
    const QString pristine = folder.work + QStringLiteral("/pristine.txt");
    const QString batch = folder.work + QStringLiteral("/batch.txt");
    if (!folder.made || !QFile::copy(folder.accounts, pristine))
        return false;
    constexpr int importCount = 10000;
    constexpr int kinds = 6;
    const char *const names[kinds]{"add", "dup", "passwd", "set", "remove", "import"};
    std::vector<double> floor;
    std::vector<double> times[kinds];
    double peakMiB = 0;
    for (int round = 0; round < rounds; ++round) {
        const Run plain = runProgram({QStringLiteral(FLOOR_PATH), folder.accounts}, folder.work);
        if (plain.exitCode != 0) {
            std::fprintf(stderr, "account-bench: account-floor ended with %d\n", plain.exitCode);
            return false;
        }
        floor.push_back(plain.milliseconds);
        if (!writeImportBatch(batch, 10000000 + qint64(round) * importCount, importCount))
            return false;
        const QString newName = QStringLiteral("newcomer%1").arg(round);
        const QString name = QString::fromLatin1(recordName(records / 2 + round));
        const QStringList commands[kinds]{
            {QStringLiteral("add"), newName, QStringLiteral("secret1")},
            {QStringLiteral("add"), newName.toUpper(), QStringLiteral("secret1")},
            {QStringLiteral("passwd"), name, QStringLiteral("changed%1").arg(round)},
            {QStringLiteral("set"), name, QStringLiteral("--email"),
             QStringLiteral("moved%1@example.org").arg(round)},
            {QStringLiteral("remove"), name},
            {QStringLiteral("import"), batch}};
        for (int i = 0; i < kinds; ++i) {
            const Run run = runProgram(QStringList{kaddPath()} + commands[i] +
                                           QStringList{QStringLiteral("--app-dir"), folder.server},
                                       folder.work);
            if (run.exitCode != (i == 1 ? 1 : 0)) {
                std::fprintf(stderr, "account-bench: kadd %s ended with %d\n", names[i],
                             run.exitCode);
                return false;
            }
            times[i].push_back(run.milliseconds);
            peakMiB = std::max(peakMiB, run.peakMiB);
        }
        if (!QFile::remove(folder.accounts) || !QFile::copy(pristine, folder.accounts))
            return false;
    }
    const double floorMs = median(floor);
    std::printf("%9lld records: floor %.2f ms, peak %.1f MiB\n", records, floorMs, peakMiB);
    for (int i = 0; i < kinds; ++i)
        std::printf("  %-8s %9.2f ms %7.2fx floor %7.2fx add\n", names[i], median(times[i]),
                    median(times[i]) / floorMs, median(times[i]) / median(times[0]));
    std::fflush(stdout);
    return true;
}

bool printSizes(const QString &base, const std::vector<qint64> &sizes, int rounds, bool cow)
{
    std::printf("%9s %7s %9s %8s %9s %8s %9s %9s", "records", "MB", "floor ms", "add ms",
                "add/floor", "dup ms", "dup/floor", "peak MiB");
    if (cow)
        std::printf(" %14s %15s", "clone-floor ms", "add/clone-floor");
    std::printf("\n");
    for (const qint64 records : sizes) {
        Figures f;
        if (!measure(base, records, rounds, cow, f))
            return false;
        std::printf("%9lld %7.1f %9.2f %8.2f %8.2fx %8.2f %8.2fx %9.1f", records, f.megabytes,
                    f.floor, f.add, f.add / f.floor, f.duplicate, f.duplicate / f.floor, f.peakMiB);
        if (cow)
            std::printf(" %14.2f %14.2fx", f.cloneFloor, f.add / f.cloneFloor);
        std::printf("\n");
        std::fflush(stdout);
    }
    return true;
}

// The rows on a scratch XFS: warm adds (the floor wrote the file just before) and consecutive
// adds.
int printCopyOnWrite(int rounds)
{
    std::printf("\nOn a copy-on-write file system (scratch XFS on a loop device):\n");
    const ScratchCowFileSystem cow;
    if (!cow.isValid()) {
        std::printf("skipped: %s\n", qPrintable(cow.reason()));
        return 0;
    }
    if (!printSizes(cow.path(), {1000, 1000000}, rounds, true))
        return 1;
    std::printf("\nConsecutive adds on XFS, each from the file the previous one left, beside the "
                "floor doing the same to its own file:\n");
    return printConsecutive(cow.path(), 1000000, std::max(rounds, 7)) ? 0 : 1;
}

int printListingRows(int rounds)
{
    std::printf("\nListing every record into /dev/null, medians of %d rounds:\n", rounds);
    return printListings(QDir::currentPath(), 1000000, rounds) ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QByteArray section = argc > 1 && argv[1][0] == '-' ? QByteArray(argv[1]) : QByteArray();
    const int first = section.isEmpty() ? 1 : 2;
    const int rounds = argc > first ? std::max(1, QByteArray(argv[first]).toInt()) : 11;
    if (section == "--xfs")
        return printCopyOnWrite(rounds);
    if (section == "--list")
        return printListingRows(rounds);
    if (section == "--edit") {
        std::printf("Adds, edits and an import of 10,000 against account-floor, medians of %d "
                    "interleaved rounds, in %s:\n",
                    rounds, qPrintable(QDir::currentPath()));
        for (const qint64 records : {1000, 1000000}) {
            if (!printOperations(QDir::currentPath(), records, rounds))
                return 1;
        }
        return 0;
    }
    if (!section.isEmpty()) {
        std::fprintf(stderr,
                     "usage: account-bench [--xfs | --list | --edit] [ROUNDS] [RECORDS...]\n");
        return 64;
    }

    std::vector<double> startUp;
    for (int i = 0; i < rounds; ++i)
        startUp.push_back(
            runProgram({kaddPath(), QStringLiteral("--help")}, QDir::currentPath()).milliseconds);
    std::printf("Whole kadd processes against account-floor, medians of %d interleaved rounds, "
                "in %s.\nStarting kadd (kadd --help) takes %.2f ms.\n\n",
                rounds, qPrintable(QDir::currentPath()), median(startUp));
    // Further arguments pick the sizes, to look at one of them closely.
    std::vector<qint64> sizes;
    for (int i = 2; i < argc; ++i)
        sizes.push_back(std::max(1LL, QByteArray(argv[i]).toLongLong()));
    const bool allSizes = sizes.empty();
    if (allSizes)
        sizes = {1000, 10000, 100000, 1000000};
    if (!printSizes(QDir::currentPath(), sizes, rounds, false))
        return 1;
    if (!allSizes)
        return 0;
    if (const int status = printCopyOnWrite(rounds))
        return status;
    return printListingRows(rounds);
}
