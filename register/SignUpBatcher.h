#pragma once

#include "core/AccountFile.h"

#include <QList>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

enum class SignUpOutcome
{
    Created,
    Duplicate, // the file holds the name, or an earlier registration of the batch does
    FileError, // the whole batch failed; the reason went to the system log
    QueueFull, // refused at once, never queued
    Stopping,  // likewise, once the service is stopping
};

// One update of the account file for a batch of registrations, in arrival order: a name twice
// in the batch is the first one's, the later ones are duplicates without reaching the file; the
// rest go in one update that appends those whose name the file does not hold.
QList<SignUpOutcome> writeSignUps(const QString &serverFolder, const QList<NewAccount> &accounts);

// Group commit: registrations that arrive while the account file is being written wait, and go
// into the next update together (one lock, one scan, one copy, one pair of syncs for all). Each
// is told its own outcome once its update has ended; Created only once the record is on disk.
class SignUpBatcher
{
public:
    using Outcome = SignUpOutcome;
    using Done = std::function<void(Outcome)>;

    SignUpBatcher(const QString &serverFolder, int queueLimit);
    ~SignUpBatcher(); // finishes what is queued
    SignUpBatcher(const SignUpBatcher &) = delete;
    SignUpBatcher &operator=(const SignUpBatcher &) = delete;

    // done is called once, from the batcher's thread, or at once with QueueFull or Stopping.
    void add(const NewAccount &account, Done done);

    // Writes and answers what is queued, then takes no more.
    void finish();

    // Called with the size of each batch once it is answered, for the service's counters.
    void setBatchObserver(std::function<void(int accounts, bool written)> observer);

private:
    struct Waiting
    {
        NewAccount account;
        Done done;
    };
    void run();

    const QString m_serverFolder;
    const std::size_t m_queueLimit;
    std::function<void(int, bool)> m_observer;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Waiting> m_queue;
    bool m_finishing = false;
    std::thread m_thread;
};
