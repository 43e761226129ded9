// Several kadd processes, and Create Account in this process, add accounts at the same moment to
// one account file, with names shared between them in different letter case. No record may be
// lost, no name may get in twice, and every run must report truthfully what happened to its
// name.

#include "core/AccountFile.h"
#include "core/CreateAccount.h"
#include "core/EntryView.h"
#include "core/internal/fs/UpdateLock.h"
#include "tests/support/KaddProcess.h"
#include "tests/support/ServerFolder.h"

#include <QHash>
#include <QSet>
#include <QTest>

#include <atomic>
#include <cerrno>
#include <future>
#include <optional>
#include <thread>
#include <vector>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

class ConcurrencyTest : public QObject
{
    Q_OBJECT

private slots:
    void simultaneousAddsLoseNothing();
    void addsAndRemovesMatchOneOrder();
    void lockFileGoneBeforeTheLockIsFree();
    void releaseLeavesTheNextHoldersLockFile();
};

namespace {

// An entry view with nobody in front of it: it keeps what is typed and remembers the outcome.
class QuietEntryView : public EntryView
{
public:
    QuietEntryView(const QString &applicationFolder) : m_folder(applicationFolder) {}

    void type(const QString &username, const QString &password)
    {
        m_texts[int(EntryBox::Username)] = username;
        m_texts[int(EntryBox::Password)] = password;
        m_texts[int(EntryBox::Email)].clear();
    }

    QString text(EntryBox box) const override { return m_texts[int(box)]; }
    void setText(EntryBox box, const QString &text) override { m_texts[int(box)] = text; }
    bool isMaleSelected() const override { return m_male; }
    void setMaleSelected(bool selected) override { m_male = selected; }
    void setRecordLabel(const QString &) override {}
    QString applicationFolder() const override { return m_folder; }
    void showMessageBox(const QString &text, const std::optional<QString> &, MessageIcon) override
    {
        lastMessage = text;
    }
    qint32 gmFlagTotal() const override { return 0; }
    void setGmFlagTotal(qint32) override {}
    void runClear() override { ClearEntry(*this); }
    CreateAccountState &keptValues() override { return m_kept; }

    QString lastMessage;

private:
    QString m_folder;
    QString m_texts[3];
    bool m_male = true;
    CreateAccountState m_kept;
};

constexpr int processes = 4;
constexpr int namesEach = 30;

// Writer w's names: half its own, half shared with every other writer in its own letter case.
QString nameFor(int writer, int index)
{
    if (index % 2 == 0)
        return QStringLiteral("own%1x%2").arg(writer).arg(index);
    QString shared = QStringLiteral("shared%1").arg(index);
    return writer % 2 == 0 ? shared.toUpper() : shared;
}

} // namespace

void ConcurrencyTest::simultaneousAddsLoseNothing()
{
    ServerFolder server("existing1,pw,1,none,0\r\nexisting2,pw,0,none,0\r\n");

    // Each writer runs kadd for its names one after another, keeping each name's exit status.
    using Statuses = QList<std::pair<QString, int>>;
    // A future of std::async waits for its writer even when a check below returns early.
    std::vector<std::future<Statuses>> writers;
    for (int w = 0; w < processes; ++w) {
        writers.push_back(std::async(std::launch::async, [&server, w] {
            Statuses statuses;
            for (int i = 0; i < namesEach; ++i) {
                const QString name = nameFor(w, i);
                const KaddResult result =
                    runKadd({QStringLiteral("add"), name, QStringLiteral("pass%1").arg(w),
                             QStringLiteral("--app-dir"), server.path()},
                            server.workFolder());
                statuses.append({name, result.finished ? result.exitCode : -1});
            }
            return statuses;
        }));
    }

    // Meanwhile this process adds through the command the main window runs.
    QHash<QString, QStringList> outcomes; // lower-case name -> "created"/"duplicate" per run
    {
        WorkingFolder work(server.workFolder());
        QuietEntryView view(server.path());
        for (int i = 0; i < namesEach; ++i) {
            const QString name = nameFor(processes, i);
            view.type(name, QStringLiteral("window%1").arg(i));
            QTest::qSleep(10); // spread over the time the other writers run
            const CreateOutcome outcome = CreateAccount(view);
            QVERIFY2(outcome == CreateOutcome::Created || outcome == CreateOutcome::Duplicate,
                     qPrintable(view.lastMessage));
            outcomes[name.toLower()]
                << (outcome == CreateOutcome::Created ? QStringLiteral("created")
                                                      : QStringLiteral("duplicate"));
        }
    }

    for (auto &writer : writers) {
        const Statuses each = writer.get();
        QCOMPARE(each.size(), namesEach);
        for (const auto &[name, status] : each) {
            QVERIFY2(status == 0 || status == 1, qPrintable(name + QString::number(status)));
            outcomes[name.toLower()]
                << (status == 0 ? QStringLiteral("created") : QStringLiteral("duplicate"));
        }
    }

    // The file: well formed, every name once, and exactly the names someone was told were
    // created, plus the two that were there before.
    QSet<QString> inFile;
    const QList<QByteArray> records = server.accounts().split('\n');
    QVERIFY(server.accounts().endsWith("\r\n"));
    for (qsizetype i = 0; i + 1 < records.size(); ++i) {
        const QByteArray &record = records.at(i);
        QVERIFY2(record.endsWith('\r'), record.constData());
        QCOMPARE(record.count(','), 4);
        const QString key = QString::fromUtf8(record.left(record.indexOf(','))).toLower();
        QVERIFY2(!inFile.contains(key), qPrintable(QStringLiteral("%1 is in twice").arg(key)));
        inFile.insert(key);
    }
    QVERIFY(inFile.remove(QStringLiteral("existing1")));
    QVERIFY(inFile.remove(QStringLiteral("existing2")));
    QCOMPARE(inFile.size(), outcomes.size());
    for (auto it = outcomes.cbegin(); it != outcomes.cend(); ++it) {
        QVERIFY2(inFile.contains(it.key()), qPrintable(it.key()));
        QVERIFY2(it.value().count(QStringLiteral("created")) == 1,
                 qPrintable(it.key() + QLatin1Char(' ') + it.value().join(u',')));
    }
    QVERIFY(!QFile::exists(server.tempFile()));
}

// Four kadd loops add and remove the same few names, each in its own letter case, one of them a
// name the file held before. The lock puts the operations in some order; in any order a name's
// successful adds and removes alternate, starting from whether the file held it. So for each
// name: (held before) + (adds told "created") - (removes told "removed") is 0 or 1 and says
// whether the file holds it now, and a record left in the file is one a writer was told it
// created. A lost update or a change made twice breaks one of these. The lines nobody touches
// stay byte for byte as they were, in their order.
void ConcurrencyTest::addsAndRemovesMatchOneOrder()
{
    const QByteArray untouched1 = "keepme1,pw,1,none,0\r\n";
    const QByteArray untouched2 = "keepme2,pw,0,k@x.org,384\r\n";
    ServerFolder server(untouched1 + "gone1,pw,1,none,0\r\n" + untouched2);
    const QStringList names{"gone1", "flip1", "flip2", "flip3", "flip4", "flip5"};
    constexpr int rounds = 10;

    // Each writer runs its operations one after another, as a shell loop would; the futures wait
    // for their writers even when a check below returns early.
    std::vector<std::future<QList<QByteArray>>> writers;
    for (int w = 0; w < processes; ++w) {
        writers.push_back(std::async(std::launch::async, [&server, &names, w] {
            QList<QByteArray> outcomes;
            for (int round = 0; round < rounds; ++round) {
                for (const QString &name : names) {
                    const QString shown = w % 2 ? name.toUpper() : name;
                    const bool add = (round + w) % 2 == 0;
                    QStringList arguments{add ? QStringLiteral("add") : QStringLiteral("remove"),
                                          shown};
                    if (add)
                        arguments << QStringLiteral("pass%1").arg(w);
                    arguments << QStringLiteral("--app-dir") << server.path();
                    const KaddResult result = runKadd(arguments, server.workFolder());
                    outcomes << (arguments.at(0) + u' ' + shown + u' ' +
                                 QString::number(result.finished ? result.exitCode : -1))
                                    .toUtf8();
                }
            }
            return outcomes;
        }));
    }

    QHash<QString, int> balance{{"gone1", 1}}; // held before + created - removed
    QHash<QString, QSet<QByteArray>> creators; // passwords of the writers told "created"
    int operations = 0;
    int changes = 0;
    for (int w = 0; w < processes; ++w) {
        const QList<QByteArray> lines = writers[w].get();
        QCOMPARE(lines.size(), rounds * names.size());
        for (const QByteArray &line : lines) {
            const QList<QByteArray> parts = line.split(' ');
            QCOMPARE(parts.size(), 3);
            const int status = parts.at(2).toInt();
            QVERIFY2(status == 0 || status == 1, line.constData()); // never a file error
            const QString key = QString::fromUtf8(parts.at(1)).toLower();
            ++operations;
            if (status != 0)
                continue;
            ++changes;
            if (parts.at(0) == "add") {
                ++balance[key];
                creators[key].insert("pass" + QByteArray::number(w));
            } else {
                --balance[key];
            }
        }
    }

    const QByteArray after = server.accounts();
    QVERIFY(after.startsWith(untouched1));
    QVERIFY(after.contains("\n" + untouched2));
    QHash<QString, QByteArray> held; // name -> password
    for (const QByteArray &record : after.split('\n')) {
        if (record.isEmpty())
            continue;
        QVERIFY2(record.endsWith('\r') && record.count(',') == 4, record.constData());
        const QList<QByteArray> fields = record.split(',');
        const QString key = QString::fromUtf8(fields.at(0)).toLower();
        QVERIFY2(!held.contains(key), qPrintable(key + QStringLiteral(" is in twice")));
        held.insert(key, fields.at(1));
    }
    for (const QString &name : names) {
        const int balanceOfName = balance.value(name);
        QVERIFY2(balanceOfName == int(held.contains(name)),
                 qPrintable(QStringLiteral("%1: balance %2").arg(name).arg(balanceOfName)));
        if (held.contains(name) && held.value(name) != "pw")
            QVERIFY2(creators.value(name).contains(held.value(name)), qPrintable(name));
    }
    QCOMPARE(held.size(),
             2 + int(std::count_if(names.cbegin(), names.cend(),
                                   [&](const QString &n) { return held.contains(n); })));
    qInfo("%d operations by %d processes, %d of them changed the file; %d names held at the end",
          operations, processes, changes, int(held.size()));
    QVERIFY(!QFile::exists(server.tempFile()));
}

// A waiter that opened the lock file while it was held gets the lock the moment the holder lets
// go. Only if that file has left the path by then does the waiter see it has locked nothing and
// try again; were it still there, the holder's removal would come after, and the next update
// would lock a new file while this one holds the old.
void ConcurrencyTest::lockFileGoneBeforeTheLockIsFree()
{
#ifdef Q_OS_UNIX
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("kAdd.txt.lock")));
    int lockedWhileNamed = 0;
    for (int round = 0; round < 1000; ++round) {
        std::optional<UpdateLock> holder(std::in_place, QFile::decodeName(path));
        QVERIFY(!holder->acquire(0));
        const int fd = ::open(path.constData(), O_RDWR | O_CLOEXEC);
        QVERIFY(fd >= 0);
        std::atomic<bool> waiting{false};
        bool named = false;
        std::thread waiter([&] {
            waiting = true;
            while (::flock(fd, LOCK_EX | LOCK_NB) != 0 &&
                   (errno == EWOULDBLOCK || errno == EINTR)) {
            }
            struct stat locked, atPath;
            named = ::fstat(fd, &locked) == 0 && ::lstat(path.constData(), &atPath) == 0 &&
                    locked.st_dev == atPath.st_dev && locked.st_ino == atPath.st_ino;
        });
        while (!waiting) {
        }
        holder.reset();
        waiter.join();
        ::close(fd);
        lockedWhileNamed += named;
    }
    QCOMPARE(lockedWhileNamed, 0);
#else
    QSKIP("Windows deletes a lock file as its holder closes it");
#endif
}

// A lock file removed by hand lets a second update lock a new one; the first, giving up, must
// not remove it, or a third update could lock yet another while the second still writes.
void ConcurrencyTest::releaseLeavesTheNextHoldersLockFile()
{
#ifdef Q_OS_UNIX
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kAdd.txt.lock"));
    std::optional<UpdateLock> first(std::in_place, path);
    QVERIFY(!first->acquire(0));
    QVERIFY(QFile::remove(path));
    UpdateLock second(path);
    QVERIFY(!second.acquire(0));
    first.reset();
    QVERIFY(second.stillHeld());
    QVERIFY(UpdateLock(path).acquire(0));
#else
    QSKIP("Windows deletes a lock file as its holder closes it");
#endif
}

QTEST_GUILESS_MAIN(ConcurrencyTest)
#include "tst_concurrency.moc"
