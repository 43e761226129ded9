#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <functional>
#include <mutex>

// A small cost for each sign-up, paid by the browser: the page carries a fresh challenge, and
// the form comes back with a nonce such that SHA-256(challenge followed by nonce, as UTF-8)
// begins with the asked number of zero bits. Challenges are signed with a key drawn at start,
// so the service keeps nothing per page served; each is good for ten minutes and for one
// sign-up. Thread-safe.
class ProofOfWork
{
public:
    // now gives seconds on the wall clock (challenges outlive no restart: the key is new).
    explicit ProofOfWork(int bits, std::function<qint64()> now = {});

    int bits() const { return m_bits; }
    QString challenge();
    // True once per challenge, for a solution that holds and a challenge still good.
    bool accept(const QString &challenge, const QString &nonce);

    static bool solves(const QByteArray &challenge, const QByteArray &nonce, int bits);

private:
    QByteArray signature(const QByteArray &challengeBody) const;

    const int m_bits;
    const std::function<qint64()> m_now;
    QByteArray m_key;
    std::mutex m_mutex;
    QHash<QByteArray, qint64> m_used; // challenge → when it expires
};
