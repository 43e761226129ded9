#include "register/SignUpBatcher.h"

#include "core/UsernameKey.h"

#include <QSet>

#include <vector>

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
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_finishing && m_queue.size() < m_queueLimit) {
            m_queue.push_back({account, std::move(done)});
            m_wake.notify_one();
            return;
        }
    }
    done(Outcome::QueueFull);
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
        write(batch);
    }
}

// A name twice in one batch: the first registration gets it, the later ones are duplicates
// without reaching the file. The rest go in one update that appends those whose name is free.
void SignUpBatcher::write(std::deque<Waiting> &batch)
{
    std::vector<Outcome> outcomes(batch.size(), Outcome::Duplicate);
    std::vector<std::size_t> inUpdate;
    QList<NewAccount> accounts;
    QSet<QString> keys;
    keys.reserve(qsizetype(batch.size()));
    for (std::size_t i = 0; i < batch.size(); ++i) {
        const QString key = caseInsensitiveKey(batch[i].account.username);
        if (keys.contains(key))
            continue;
        keys.insert(key);
        inUpdate.push_back(i);
        accounts.append(batch[i].account);
    }
    const BatchResult result = AddAccounts(m_serverFolder, accounts, BatchMode::AppendFree);
    const bool failed = result.outcome == AddOutcome::FileError;
    for (const std::size_t index : inUpdate)
        outcomes[index] = failed ? Outcome::FileError : Outcome::Created;
    if (!failed) {
        for (const int taken : result.alreadyTaken)
            outcomes[inUpdate[std::size_t(taken)]] = Outcome::Duplicate;
    }
    for (std::size_t i = 0; i < batch.size(); ++i)
        batch[i].done(outcomes[i]);
    std::function<void(int, bool)> observer;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        observer = m_observer;
    }
    if (observer)
        observer(int(batch.size()), result.outcome == AddOutcome::Created);
}
