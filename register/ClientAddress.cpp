#include "register/ClientAddress.h"

#include <optional>

IpAddress clientAddress(const IpAddress &peer, const QByteArray &forwardedFor,
                        const QList<IpAddress> &trustedProxies)
{
    if (forwardedFor.isEmpty() || !trustedProxies.contains(peer))
        return peer;
    const qsizetype comma = forwardedFor.lastIndexOf(',');
    const QByteArray last = forwardedFor.mid(comma + 1).trimmed();
    const std::optional<IpAddress> client = IpAddress::parse(QString::fromLatin1(last));
    return client ? *client : peer;
}
