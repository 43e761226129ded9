#include "register/ProofOfWork.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>

#include <array>

namespace {

constexpr qint64 lifetimeSeconds = 600;
constexpr qsizetype maxNonceLength = 32;

qint64 wallSeconds()
{
    return QDateTime::currentSecsSinceEpoch();
}

QByteArray randomBytes(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    QRandomGenerator::system()->generate(bytes.begin(), bytes.end());
    return bytes;
}

} // namespace

ProofOfWork::ProofOfWork(int bits, std::function<qint64()> now)
    : m_bits(bits), m_now(now ? std::move(now) : wallSeconds), m_key(randomBytes(32))
{}

QByteArray ProofOfWork::signature(const QByteArray &challengeBody) const
{
    return QMessageAuthenticationCode::hash(challengeBody, m_key, QCryptographicHash::Sha256)
        .left(16)
        .toHex();
}

// random.expiry.signature, all hex or decimal: plain ASCII, safe in a page and a form.
QString ProofOfWork::challenge()
{
    const QByteArray body =
        randomBytes(16).toHex() + '.' + QByteArray::number(m_now() + lifetimeSeconds);
    return QString::fromLatin1(body + '.' + signature(body));
}

bool ProofOfWork::solves(const QByteArray &challenge, const QByteArray &nonce, int bits)
{
    const QByteArray digest =
        QCryptographicHash::hash(challenge + nonce, QCryptographicHash::Sha256);
    for (int bit = 0; bit < bits; ++bit) {
        if (quint8(digest.at(bit / 8)) & (0x80 >> (bit % 8)))
            return false;
    }
    return true;
}

bool ProofOfWork::accept(const QString &challengeText, const QString &nonceText)
{
    const QByteArray challenge = challengeText.toLatin1();
    const QByteArray nonce = nonceText.toUtf8();
    if (challengeText.isEmpty() || nonce.isEmpty() || nonce.size() > maxNonceLength ||
        QString::fromLatin1(challenge) != challengeText)
        return false;
    const QList<QByteArray> parts = challenge.split('.');
    if (parts.size() != 3)
        return false;
    const QByteArray body = parts.at(0) + '.' + parts.at(1);
    bool numeric = false;
    const qint64 expires = parts.at(1).toLongLong(&numeric);
    const qint64 now = m_now();
    // The signature is compared in full whatever its bytes, so its time tells nothing.
    const QByteArray expected = signature(body);
    if (parts.at(2).size() != expected.size())
        return false;
    int difference = 0;
    for (qsizetype i = 0; i < expected.size(); ++i)
        difference |= expected.at(i) ^ parts.at(2).at(i);
    if (difference != 0 || !numeric || expires < now || expires > now + lifetimeSeconds)
        return false;
    if (!solves(challenge, nonce, m_bits))
        return false;
    const std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_used.begin(); it != m_used.end();)
        it = it.value() < now ? m_used.erase(it) : std::next(it);
    if (m_used.contains(challenge))
        return false;
    m_used.insert(challenge, expires);
    return true;
}
