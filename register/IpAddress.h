#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

struct sockaddr;

// An IPv4 or IPv6 address, compared by its bytes. An IPv4 address that reaches a dual-stack
// socket as ::ffff:a.b.c.d is taken as the IPv4 address it is, so that limits and proxies name
// one client one way.
struct IpAddress
{
    bool v6 = false;
    std::array<std::uint8_t, 16> bytes{}; // IPv4 in the first 4

    static std::optional<IpAddress> parse(const QString &text);
    static std::optional<IpAddress> fromSocketAddress(const sockaddr *address);

    QString toString() const;
    bool isLoopback() const;

    bool operator==(const IpAddress &other) const { return v6 == other.v6 && bytes == other.bytes; }
    bool operator!=(const IpAddress &other) const { return !(*this == other); }
};

// Where the service listens: "127.0.0.1:8080", "[::1]:8080", "0.0.0.0:80", "[::]:443".
struct ListenAddress
{
    IpAddress address;
    std::uint16_t port = 0;

    static std::optional<ListenAddress> parse(const QString &text);
    QString toString() const;
    bool isLoopback() const { return address.isLoopback(); }
};

// The socket address to bind: fills storage (at least sizeof(sockaddr_in6)) and returns the
// length used.
int toSocketAddress(const ListenAddress &listen, void *storage);
