#include "register/SignUpService.h"

#include "register/ClientAddress.h"
#include "register/SignUpEntry.h"

#include "core/AccountFile.h"

#include <QFile>
#include <QFileInfo>

namespace {

constexpr int busyRetrySeconds = 10;

bool wantsJson(const HttpRequest &request)
{
    return request.contentType.startsWith("application/json") ||
           request.accept.contains("application/json");
}

std::optional<BodyKind> bodyKind(const QByteArray &contentType)
{
    const QByteArray type = contentType.split(';').constFirst().trimmed().toLower();
    if (type == "application/json")
        return BodyKind::Json;
    if (type == "application/x-www-form-urlencoded")
        return BodyKind::Form;
    return std::nullopt;
}

Answer methodNotAllowed(const QByteArray &allow)
{
    Answer answer = Answer::text(405, "method not allowed\n");
    answer.allow = allow;
    return answer;
}

} // namespace

SignUpService::SignUpService(const ServiceOptions &options, SignUpBatcher &batcher,
                             ServiceMetrics &metrics)
    : m_options(options), m_batcher(batcher), m_metrics(metrics), m_page(options.page),
      m_rateLimit(options.perAddressPerHour), m_proofOfWork(options.proofOfWorkBits),
      m_refusals(accountFilePath(options.serverFolder))
{}

std::optional<Answer> SignUpService::handle(const HttpRequest &request,
                                            const std::function<void(const Answer &)> &later)
{
    const bool get = request.method == "GET" || request.method == "HEAD";
    if (request.path == "/") {
        if (!get)
            return methodNotAllowed("GET, HEAD");
        const int bits = m_proofOfWork.bits();
        return m_page.form(bits > 0 ? m_proofOfWork.challenge() : QString(), bits);
    }
    if (request.path == "/register") {
        if (request.method != "POST")
            return methodNotAllowed("POST");
        return registration(request, later);
    }
    if (request.path == "/healthz")
        return get ? health() : methodNotAllowed("GET, HEAD");
    // Counters are for the machine's own monitoring: a request relayed by a proxy on loopback
    // comes from elsewhere.
    if (request.path == "/metrics" && request.peer.isLoopback() && request.forwardedFor.isEmpty()) {
        if (!get)
            return methodNotAllowed("GET, HEAD");
        Answer answer = Answer::text(200, m_metrics.text());
        answer.contentType = "text/plain; version=0.0.4; charset=utf-8";
        return answer;
    }
    return Answer::text(404, "not found\n");
}

Answer SignUpService::refuse(bool json, int status, const QString &reason, const QString &message)
{
    m_metrics.refused(reason);
    m_refusals.count(reason);
    if (json)
        return Answer::json(status, "error", message);
    return m_page.result(status, QStringLiteral("Not created"), message);
}

std::optional<Answer> SignUpService::registration(const HttpRequest &request,
                                                  const std::function<void(const Answer &)> &later)
{
    const bool json = wantsJson(request);
    if (request.bodyTooLarge)
        return refuse(json, 413, QStringLiteral("too large"),
                      QStringLiteral("The request is larger than 4 KiB"));
    const std::optional<BodyKind> kind = bodyKind(request.contentType);
    const std::optional<SignUpFields> fields =
        kind ? readSignUpBody(request.body, *kind) : std::nullopt;
    if (!fields)
        return refuse(json, 400, QStringLiteral("unreadable"),
                      QStringLiteral("The request cannot be read"));
    if (m_proofOfWork.bits() > 0 && !m_proofOfWork.accept(fields->challenge, fields->nonce))
        return refuse(json, 422, QStringLiteral("proof of work"),
                      QStringLiteral("Proof of work missing or invalid"));
    const QString client =
        clientAddress(request.peer, request.forwardedFor, m_options.trustedProxies).toString();
    const SignUpCheck check = checkSignUp(*fields, QStringLiteral("sign-up from ") + client);
    if (!check.passed)
        return refuse(json, 422, QStringLiteral("rule"), check.refusal);
    if (const int wait = m_rateLimit.take(client); wait > 0) {
        m_metrics.rateLimited();
        m_refusals.count(QStringLiteral("hourly limit"));
        Answer answer = json ? Answer::json(429, "error",
                                            QStringLiteral("Too many sign-ups "
                                                           "from this address"))
                             : m_page.result(429, QStringLiteral("Not created"),
                                             QStringLiteral("Too many sign-ups from this "
                                                            "address; try again later"));
        answer.retryAfter = wait;
        return answer;
    }
    const QString username = check.account.username;
    m_batcher.add(check.account, [this, json, username, client,
                                  later](SignUpBatcher::Outcome outcome) {
        Answer answer;
        switch (outcome) {
        case SignUpBatcher::Outcome::Created:
            m_metrics.accountCreated();
            answer = json
                         ? Answer::json(201, "created", username)
                         : m_page.result(201, QStringLiteral("Account created"),
                                         QStringLiteral("Your account %1 is ready.").arg(username));
            break;
        case SignUpBatcher::Outcome::Duplicate:
            answer =
                refuse(json, 409, QStringLiteral("duplicate"), QStringLiteral("Username exist"));
            break;
        case SignUpBatcher::Outcome::FileError:
            m_metrics.fileError();
            answer = unavailable(json, client, QStringLiteral("file error"));
            break;
        case SignUpBatcher::Outcome::QueueFull:
            answer = unavailable(json, client, QStringLiteral("queue full"));
            break;
        case SignUpBatcher::Outcome::Stopping:
            answer = unavailable(json, client, QStringLiteral("stopping"));
            break;
        }
        later(answer);
    });
    return std::nullopt;
}

// The registration never reached the file: it does not count against the address.
Answer SignUpService::unavailable(bool json, const QString &client, const QString &reason)
{
    m_rateLimit.giveBack(client);
    Answer answer = refuse(json, 503, reason,
                           QStringLiteral("Sign-up is not available right now; try again in a "
                                          "moment"));
    answer.retryAfter = busyRetrySeconds;
    return answer;
}

// The account file can be read and its folder written: what an update needs first.
Answer SignUpService::health() const
{
    const QString path = accountFilePath(m_options.serverFolder);
    QFile file(path);
    const bool readable = file.open(QIODevice::ReadOnly);
    const bool writable = QFileInfo(QFileInfo(path).absolutePath()).isWritable();
    if (readable && writable)
        return Answer::text(200, "ok\n");
    Answer answer = Answer::text(503, "unavailable\n");
    answer.retryAfter = busyRetrySeconds;
    return answer;
}
