// Times the Accounts window over a large account file, as an operator meets it: the window
// opened until the table shows, the longest the window stops answering while it loads, a letter
// typed into the filter, a click on a column header, a change by another program and a password
// changed in the window until the table shows it. Runs on Qt's offscreen platform.
//
//   accounts-window-bench [RECORDS]      (default 1000000)

#include "ui/AccountTableModel.h"
#include "ui/AccountsWindow.h"
#include "ui/PasswordDialog.h"

#include "bench/GeneratedAccounts.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

// Names out of order, so that a sort has work to do.
QByteArray recordLine(qint64 index, qint64 records)
{
    const QByteArray name = "player" + QByteArray::number((index * 7919) % records);
    return name + ",secret" + QByteArray::number(index % 9973) + ',' +
           QByteArray::number(index % 2) + ',' + name + "@example.org," +
           QByteArray::number(index % 50 == 0 ? 384 : 0) + "\r\n";
}

// Runs the step and waits for the signal it leads to; the longest gap between two ticks of a
// 5 ms timer meanwhile is how long the window would have ignored the operator.
struct Timing
{
    double elapsedMs = 0;
    double longestStallMs = 0;
};

template <typename Signal>
Timing timeUntil(const typename QtPrivate::FunctionPointer<Signal>::Object *sender, Signal signal,
                 const std::function<void()> &step)
{
    QSignalSpy done(sender, signal);
    QElapsedTimer tick;
    qint64 longest = 0;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { longest = std::max(longest, tick.restart()); });
    QElapsedTimer elapsed;
    elapsed.start();
    tick.start();
    ticker.start();
    step();
    longest = std::max(longest, tick.restart());
    while (done.isEmpty())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return {elapsed.nsecsElapsed() / 1e6, double(longest)};
}

void print(const char *what, const Timing &timing)
{
    std::printf("%-34s %8.1f ms   window unanswered at most %3.0f ms\n", what, timing.elapsedMs,
                timing.longestStallMs);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qint64 records = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    QTemporaryDir scratch;
    const QString folder = scratch.path();
    const QString accountFile = folder + QStringLiteral("/kData/kPlayer/kAdd.txt");
    if (!QDir(folder).mkpath(QStringLiteral("kData/kPlayer")) ||
        !writeAccountFile(accountFile, records,
                          [records](qint64 i) { return recordLine(i, records); })) {
        std::fprintf(stderr, "accounts-window-bench: cannot write %s\n", qPrintable(accountFile));
        return 1;
    }
    std::printf("%lld records, %lld bytes\n", records, QFile(accountFile).size());

    QElapsedTimer opening;
    opening.start();
    AccountsWindow window(folder);
    window.show();
    const double constructionMs = opening.nsecsElapsed() / 1e6;
    Timing opened = timeUntil(&window, &AccountsWindow::tableLoaded, [] {});
    opened.elapsedMs += constructionMs;
    opened.longestStallMs = std::max(opened.longestStallMs, constructionMs);
    print("open until the table shows", opened);

    auto *filter = window.findChild<QLineEdit *>(QStringLiteral("txtFilter"));
    auto *table = window.findChild<QTableView *>(QStringLiteral("tblAccounts"));
    AccountTableModel *model = window.model();
    const auto rowsFor = [&](const std::function<void()> &step) {
        return timeUntil(model, &AccountTableModel::rowsReplaced, step);
    };
    print("filter, first letter 'p'", rowsFor([&] { filter->setText(QStringLiteral("p")); }));
    print("filter 'player12345'", rowsFor([&] { filter->setText(QStringLiteral("player12345")); }));
    print("filter cleared", rowsFor([&] { filter->clear(); }));
    print("sort by username", rowsFor([&] {
              table->sortByColumn(AccountTableModel::UsernameColumn, Qt::AscendingOrder);
          }));
    print("sort by e-mail, descending", rowsFor([&] {
              table->sortByColumn(AccountTableModel::EmailColumn, Qt::DescendingOrder);
          }));
    print("back to file order",
          rowsFor([&] { table->sortByColumn(AccountTableModel::LineColumn, Qt::AscendingOrder); }));

    table->selectRow(int(records / 2));
    const Timing appended = timeUntil(&window, &AccountsWindow::tableLoaded, [&] {
        QFile file(accountFile);
        const QByteArray line = "newplayer,secret1,1,none,0\r\n";
        if (!file.open(QIODevice::Append) || file.write(line) != line.size() || !file.flush())
            std::fprintf(stderr, "accounts-window-bench: cannot append to %s\n",
                         qPrintable(accountFile));
    });
    print("a line appended until it shows", appended);

    const Timing changed = timeUntil(&window, &AccountsWindow::tableLoaded, [&] {
        window.changePassword();
        auto *dialog = window.findChild<PasswordDialog *>();
        for (const char *field : {"txtNewPassword", "txtRepeatPassword"})
            dialog->findChild<QLineEdit *>(QLatin1String(field))->setText("newpass99");
        emit dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttons"))->accepted();
    });
    print("a password changed until it shows", changed);
    return 0;
}
