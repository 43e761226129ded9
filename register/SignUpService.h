#pragma once

#include "register/AddressRateLimit.h"
#include "register/Answer.h"
#include "register/IpAddress.h"
#include "register/ProofOfWork.h"
#include "register/RefusalSummary.h"
#include "register/ServiceMetrics.h"
#include "register/ServiceOptions.h"
#include "register/SignUpBatcher.h"
#include "register/SignUpPage.h"

#include <QByteArray>

#include <functional>
#include <optional>

// One request as the service needs it; the body is read whole first (4 KiB at most).
struct HttpRequest
{
    QByteArray method;
    QByteArray path;
    QByteArray contentType;
    QByteArray accept;
    QByteArray forwardedFor;
    IpAddress peer;
    QByteArray body;
    bool bodyTooLarge = false;
};

inline constexpr qsizetype maxBodyBytes = 4096;

// What the service answers, apart from how HTTP carries it: the routes, the checks in order,
// and the hand-over to the batcher of each registration that passed them.
class SignUpService
{
public:
    SignUpService(const ServiceOptions &options, SignUpBatcher &batcher, ServiceMetrics &metrics);

    // The answer, or nothing when it comes later: then later is called once, from another
    // thread, when the registration's batch has been written.
    std::optional<Answer> handle(const HttpRequest &request,
                                 const std::function<void(const Answer &)> &later);

    // Once a minute: the refusals since the last time, to the system log.
    void sendRefusalSummary() { m_refusals.send(); }

private:
    std::optional<Answer> registration(const HttpRequest &request,
                                       const std::function<void(const Answer &)> &later);
    Answer refuse(bool json, int status, const QString &reason, const QString &message);
    Answer unavailable(bool json, const QString &client, const QString &reason);
    Answer health() const;

    const ServiceOptions m_options;
    SignUpBatcher &m_batcher;
    ServiceMetrics &m_metrics;
    SignUpPage m_page;
    AddressRateLimit m_rateLimit;
    ProofOfWork m_proofOfWork;
    RefusalSummary m_refusals;
};
