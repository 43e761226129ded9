// Several kadd processes, and Create Account in this process, add accounts at the same moment to
// one account file, with names shared between them in different letter case. No record may be
// lost, no name may get in twice, and every run must report truthfully what happened to its
// name.

#include "AccountFile.h"
#include "CreateAccount.h"
#include "EntryView.h"
#include "KaddProcess.h"
#include "ServerFolder.h"

#include <QHash>
#include <QSet>
#include <QTest>

#include <future>
#include <vector>

class ConcurrencyTest : public QObject
{
    Q_OBJECT

private slots:
    void simultaneousAddsLoseNothing();
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

QTEST_GUILESS_MAIN(ConcurrencyTest)
#include "ConcurrencyTest.moc"
