#pragma once

#include "register/IpAddress.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// How the service was asked to run, read from its command line once at start.
struct ServiceOptions
{
    QString serverFolder; // absolute
    ListenAddress listen;
    QByteArray tlsCertificate; // PEM, empty without TLS
    QByteArray tlsKey;
    QList<IpAddress> trustedProxies;
    int perAddressPerHour = 5;      // 0: no limit
    int connectionsPerAddress = 32; // 0: no limit
    int queueLimit = 10000;
    int proofOfWorkBits = 0; // 0: off
    QByteArray page;         // the sign-up page; empty: the built-in one
};

struct ServiceCommandLine
{
    enum class Action
    {
        Run,
        ShowText,   // --help, --version: print text, status 0
        UsageError, // print text, status 64
        CannotStart // a file named cannot be read, or no server folder: print text, status 66
    };
    Action action = Action::UsageError;
    QString text;
    ServiceOptions options;
};

enum ServiceExitStatus
{
    ServiceExitDone = 0,
    ServiceExitUsage = 64,      // EX_USAGE
    ServiceExitNoInput = 66,    // EX_NOINPUT: the server folder or a file named is missing
    ServiceExitUnavailable = 69 // EX_UNAVAILABLE: the address cannot be listened on
};

// arguments as the system gives them, the program first. programFolder is called only when no
// --app-dir is given.
ServiceCommandLine parseServiceCommandLine(const QStringList &arguments,
                                           const std::function<QString()> &programFolder,
                                           const QString &environmentFolder);
