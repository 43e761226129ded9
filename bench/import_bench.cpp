// Importing a batch of accounts into a large account file, against adding them one by one.
//
//   import-bench [RECORDS [BATCH [SINGLES]]]    defaults: 1000000 10000 100
//
// Builds an account file of RECORDS records in a temporary folder (set TMPDIR to measure
// another disk) and prints the time of one AddAccount with a new name, of SINGLES single adds
// extrapolated to BATCH, of AddAccounts with BATCH new names (appending and check only), and of
// the real `kadd import` and `kadd add` on the same file.

#include "core/AccountFile.h"
#include "core/RecordEncoding.h"

#include "bench/GeneratedAccounts.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

int nextName = 0;

QList<NewAccount> newAccounts(int count)
{
    QList<NewAccount> accounts;
    accounts.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("new%1").arg(nextName++, 7, 10, QLatin1Char('0'));
        accounts.append(
            {name, BuildRecordLine(name, QStringLiteral("pw1234"), 1, QStringLiteral("none"), 0)});
    }
    return accounts;
}

QByteArray recordLine(qint64 index)
{
    return QByteArrayLiteral("player") + QByteArray::number(index) + ",secret" +
           QByteArray::number(index % 9973) + ",1,player" + QByteArray::number(index) +
           "@example.org,0\r\n";
}

double seconds(const std::function<bool()> &step)
{
    QElapsedTimer timer;
    timer.start();
    if (!step()) {
        std::fprintf(stderr, "import-bench: a step failed\n");
        std::exit(1);
    }
    return double(timer.nsecsElapsed()) / 1e9;
}

// The median of a few runs, so one slow flush to disk does not decide the figure.
double median(int runs, const std::function<bool()> &step)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(seconds(step));
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

bool runKadd(const QStringList &arguments, const QString &workFolder)
{
    QProcess kadd;
    kadd.setWorkingDirectory(workFolder);
    kadd.setStandardOutputFile(QProcess::nullDevice());
    kadd.start(QStringLiteral(KADD_PATH), arguments);
    kadd.closeWriteChannel();
    return kadd.waitForFinished(-1) && kadd.exitStatus() == QProcess::NormalExit &&
           kadd.exitCode() == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int records = args.size() > 1 ? args.at(1).toInt() : 1000000;
    const int batch = args.size() > 2 ? args.at(2).toInt() : 10000;
    const int singles = args.size() > 3 ? args.at(3).toInt() : 100;
    if (records < 1 || batch < 1 || singles < 1) {
        std::fprintf(stderr, "usage: import-bench [RECORDS [BATCH [SINGLES]]]\n");
        return 64;
    }

    QTemporaryDir folder;
    const QString server = folder.path();
    QDir(server).mkpath(QStringLiteral("kData/kPlayer"));
    const QString accountPath = accountFilePath(server);
    if (!writeAccountFile(accountPath, records, recordLine)) {
        std::fprintf(stderr, "import-bench: cannot write %s\n", qPrintable(accountPath));
        return 1;
    }
    // kAdd.tmp lands in the working folder; keep it on the account file's disk.
    QDir::setCurrent(server);
    const double megabytes = double(QFileInfo(accountPath).size()) / (1 << 20);
    std::printf("account file: %d records, %.1f MB, in %s\n", records, megabytes,
                qPrintable(server));

    const auto add = [&](const QList<NewAccount> &accounts, BatchMode mode) {
        const BatchResult result = AddAccounts(server, accounts, mode);
        return result.outcome == AddOutcome::Created;
    };
    const double single = median(5, [&] {
        const NewAccount account = newAccounts(1).constFirst();
        return AddAccount(server, account.username, account.recordLine).outcome ==
               AddOutcome::Created;
    });
    const QList<NewAccount> oneByOne = newAccounts(singles);
    const double singlesTime = seconds([&] {
        for (const NewAccount &account : oneByOne) {
            if (AddAccount(server, account.username, account.recordLine).outcome !=
                AddOutcome::Created)
                return false;
        }
        return true;
    });
    const double extrapolated = singlesTime * double(batch) / double(singles);
    const double imported = median(3, [&] { return add(newAccounts(batch), BatchMode::Append); });
    const double checked = median(3, [&] { return add(newAccounts(batch), BatchMode::CheckOnly); });

    const QString batchPath = server + QStringLiteral("/batch.txt");
    const auto writeBatch = [&] {
        QFile file(batchPath);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        for (const NewAccount &account : newAccounts(batch))
            file.write(account.recordLine.toUtf8() + "\n");
        return file.flush();
    };
    const double kaddImport = median(3, [&] {
        return writeBatch() &&
               runKadd({QStringLiteral("import"), batchPath, QStringLiteral("--app-dir"), server},
                       server);
    });
    const double kaddAdd = median(3, [&] {
        const NewAccount account = newAccounts(1).constFirst();
        return runKadd({QStringLiteral("add"), account.username, QStringLiteral("pw1234"),
                        QStringLiteral("--app-dir"), server},
                       server);
    });

    std::printf("%-44s %10s %8s\n", "case", "seconds", "x single");
    const auto row = [&](const char *name, double time) {
        std::printf("%-44s %10.3f %8.2f\n", name, time, time / single);
    };
    row("one AddAccount, new name", single);
    std::printf("%d single adds: %.3f s, extrapolated to %d:\n", singles, singlesTime, batch);
    row("  single adds, extrapolated", extrapolated);
    row("AddAccounts, batch appended", imported);
    row("AddAccounts, batch checked only (dry run)", checked);
    row("kadd import FILE (process, batch appended)", kaddImport);
    row("kadd add (process, one account)", kaddAdd);
    std::printf("batch of %d: %.2f x one single add (target 1.5), %.0f x faster than single "
                "adds\n",
                batch, imported / single, extrapolated / imported);
    std::printf("as whole processes: kadd import of %d takes %.2f x one kadd add\n", batch,
                kaddImport / kaddAdd);
    return 0;
}
