#pragma once

#include "register/IpAddress.h"

#include <QByteArray>
#include <QList>

// The address a request came from: the peer's, or, when the peer is a trusted reverse proxy,
// the last address of its X-Forwarded-For (the one the proxy itself added; those before it are
// whatever the client claimed). A header that holds no address leaves the peer's.
IpAddress clientAddress(const IpAddress &peer, const QByteArray &forwardedFor,
                        const QList<IpAddress> &trustedProxies);
