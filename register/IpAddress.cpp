#include "register/IpAddress.h"

#include "register/SocketHeaders.h"

#include <cstring>

#include <algorithm>

namespace {

constexpr std::array<std::uint8_t, 12> v4MappedPrefix = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};

IpAddress unmapped(IpAddress address)
{
    if (address.v6 &&
        std::equal(v4MappedPrefix.begin(), v4MappedPrefix.end(), address.bytes.begin())) {
        IpAddress v4;
        std::copy_n(address.bytes.begin() + 12, 4, v4.bytes.begin());
        return v4;
    }
    return address;
}

std::optional<IpAddress> fromText(const QByteArray &text, bool v6)
{
    IpAddress address;
    address.v6 = v6;
    if (inet_pton(v6 ? AF_INET6 : AF_INET, text.constData(), address.bytes.data()) != 1)
        return std::nullopt;
    return address;
}

QString toText(const IpAddress &address)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (!inet_ntop(address.v6 ? AF_INET6 : AF_INET, address.bytes.data(), text, sizeof text))
        return {};
    return QString::fromLatin1(text);
}

} // namespace

std::optional<IpAddress> IpAddress::parse(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > 45 ||
        std::any_of(trimmed.cbegin(), trimmed.cend(), [](QChar c) { return c.unicode() > 127; }))
        return std::nullopt;
    const QByteArray latin = trimmed.toLatin1();
    const bool v6 = latin.contains(':');
    const std::optional<IpAddress> address = fromText(latin, v6);
    if (!address)
        return std::nullopt;
    return unmapped(*address);
}

QString IpAddress::toString() const
{
    return toText(*this);
}

bool IpAddress::isLoopback() const
{
    if (!v6)
        return bytes[0] == 127;
    static constexpr std::array<std::uint8_t, 16> loopback = {0, 0, 0, 0, 0, 0, 0, 0,
                                                              0, 0, 0, 0, 0, 0, 0, 1};
    return bytes == loopback;
}

std::optional<ListenAddress> ListenAddress::parse(const QString &text)
{
    QString host;
    QString port;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(QStringLiteral("]:"));
        if (close < 0)
            return std::nullopt;
        host = text.mid(1, close - 1);
        port = text.mid(close + 2);
        if (!host.contains(u':'))
            return std::nullopt;
    } else {
        const qsizetype colon = text.lastIndexOf(u':');
        if (colon < 0)
            return std::nullopt;
        host = text.left(colon);
        port = text.mid(colon + 1);
        if (host.contains(u':'))
            return std::nullopt; // an IPv6 address goes in brackets
    }
    bool numeric = false;
    const uint number = port.toUInt(&numeric);
    if (!numeric || number > 65535) // 0: a port the system picks
        return std::nullopt;
    const std::optional<IpAddress> address = IpAddress::parse(host);
    if (!address)
        return std::nullopt;
    return ListenAddress{*address, std::uint16_t(number)};
}

QString ListenAddress::toString() const
{
    const QString host = address.toString();
    return (address.v6 ? u'[' + host + u']' : host) + u':' + QString::number(port);
}

int toSocketAddress(const ListenAddress &listen, void *storage)
{
    if (listen.address.v6) {
        sockaddr_in6 address = {};
        address.sin6_family = AF_INET6;
        address.sin6_port = htons(listen.port);
        std::memcpy(&address.sin6_addr, listen.address.bytes.data(), 16);
        std::memcpy(storage, &address, sizeof address);
        return int(sizeof address);
    }
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(listen.port);
    std::memcpy(&address.sin_addr, listen.address.bytes.data(), 4);
    std::memcpy(storage, &address, sizeof address);
    return int(sizeof address);
}

std::optional<IpAddress> IpAddress::fromSocketAddress(const sockaddr *address)
{
    if (!address)
        return std::nullopt;
    IpAddress ip;
    if (address->sa_family == AF_INET) {
        sockaddr_in v4;
        std::memcpy(&v4, address, sizeof v4);
        std::memcpy(ip.bytes.data(), &v4.sin_addr, 4);
        return ip;
    }
    if (address->sa_family == AF_INET6) {
        sockaddr_in6 v6;
        std::memcpy(&v6, address, sizeof v6);
        ip.v6 = true;
        std::memcpy(ip.bytes.data(), &v6.sin6_addr, 16);
        return parse(toText(ip)); // folds ::ffff:a.b.c.d into IPv4
    }
    return std::nullopt;
}
