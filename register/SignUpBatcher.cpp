#include "register/SignUpBatcher.h"

#include "core/UsernameKey.h"

#include <QSet>

QList<SignUpOutcome> writeSignUps(const QString &serverFolder, const QList<NewAccount> &accounts)
{
    QList<SignUpOutcome> outcomes(accounts.size(), SignUpOutcome::Duplicate);
    QList<qsizetype> inUpdate;
    QList<NewAccount> update;
    QSet<QString> keys;
    keys.reserve(accounts.size());
    for (qsizetype i = 0; i < accounts.size(); ++i) {
        const QString key = caseInsensitiveKey(accounts.at(i).username);
        if (keys.contains(key))
            continue;
        keys.insert(key);
        inUpdate.append(i);
        update.append(accounts.at(i));
    }
    const BatchResult result = AddAccounts(serverFolder, update, BatchMode::AppendFree);
    const bool failed = result.outcome == AddOutcome::FileError;
    for (const qsizetype index : inUpdate)
        outcomes[index] = failed ? SignUpOutcome::FileError : SignUpOutcome::Created;
    if (!failed) {
        for (const int taken : result.alreadyTaken)
            outcomes[inUpdate.at(taken)] = SignUpOutcome::Duplicate;
    }
    return outcomes;
}

SignUpBatcher::SignUpBatcher(const QString &serverFolder, int queueLimit)
    : m_serverFolder(serverFolder), m_queueLimit(std::size_t(queueLimit)),
      m_thread([this] { run(); })
{}

SignUpBatcher::~SignUpBatcher()
{
    finish();
}

void SignUpBatcher::setBatchObserver(std::function<void(int, bool)> observer)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_observer = std::move(observer);
}

void SignUpBatcher::add(const NewAccount &account, Done done)
{
    Outcome refused = Outcome::Stopping;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_finishing && m_queue.size() < m_queueLimit) {
            m_queue.push_back({account, std::move(done)});
            m_wake.notify_one();
            return;
        }
        if (!m_finishing)
            refused = Outcome::QueueFull;
    }
    done(refused);
}

void SignUpBatcher::finish()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_finishing = true;
        m_wake.notify_one();
    }
    if (m_thread.joinable())
        m_thread.join();
}

void SignUpBatcher::run()
{
    for (;;) {
        std::deque<Waiting> batch;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_finishing || !m_queue.empty(); });
            if (m_queue.empty())
                return; // finishing, and nothing left
            batch.swap(m_queue);
        }
        QList<NewAccount> accounts;
        accounts.reserve(qsizetype(batch.size()));
        for (const Waiting &waiting : batch)
            accounts.append(waiting.account);
        const QList<Outcome> outcomes = writeSignUps(m_serverFolder, accounts);
        for (std::size_t i = 0; i < batch.size(); ++i)
            batch[i].done(outcomes.at(qsizetype(i)));
        std::function<void(int, bool)> observer;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            observer = m_observer;
        }
        if (observer)
            observer(int(batch.size()), outcomes.contains(Outcome::Created));
    }
}
