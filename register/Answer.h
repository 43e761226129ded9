#pragma once

#include <QByteArray>
#include <QString>

// One HTTP answer of the service, before it goes out with the headers every answer carries.
struct Answer
{
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    int retryAfter = 0;               // seconds; 0: no Retry-After
    QByteArray contentSecurityPolicy; // empty: default-src 'self'
    QByteArray allow;                 // for 405

    // {"<key>": "<value>"}
    static Answer json(int status, const char *key, const QString &value);
    static Answer text(int status, const QByteArray &body);
};
