#include "register/HttpService.h"

#include "register/ServiceMetrics.h"
#include "register/SignUpService.h"
#include "register/SocketHeaders.h"

#include <QElapsedTimer>
#include <QThread>

#include <microhttpd.h>

#include <mutex>
#include <optional>

namespace {

// A slow or idle client is dropped after this long without a byte either way.
constexpr unsigned connectionTimeoutSeconds = 15;
constexpr unsigned connectionLimit = 4000;
// Headers and the read buffer of one connection: far more than a browser sends.
constexpr size_t connectionMemoryLimit = 32 * 1024;

QByteArray header(MHD_Connection *connection, const char *name)
{
    return QByteArray(MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name));
}

} // namespace

// One request from its first bytes to its completion.
struct HttpService::Exchange
{
    QElapsedTimer started;
    QByteArray body;
    bool tooLarge = false;
    bool handled = false;
    std::mutex mutex;
    bool suspended = false;
    std::optional<Answer> answer;
};

struct HttpCallbacks
{
    static MHD_Result send(HttpService &http, MHD_Connection *connection,
                           HttpService::Exchange &exchange, const Answer &answer)
    {
        MHD_Response *response = MHD_create_response_from_buffer(
            size_t(answer.body.size()), const_cast<char *>(answer.body.constData()),
            MHD_RESPMEM_MUST_COPY);
        if (!response)
            return MHD_NO;
        MHD_add_response_header(response, "Content-Type", answer.contentType.constData());
        MHD_add_response_header(response, "Content-Security-Policy",
                                answer.contentSecurityPolicy.isEmpty()
                                    ? "default-src 'self'"
                                    : answer.contentSecurityPolicy.constData());
        MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
        MHD_add_response_header(response, "Referrer-Policy", "no-referrer");
        MHD_add_response_header(response, "Cache-Control", "no-store");
        if (answer.retryAfter > 0)
            MHD_add_response_header(response, "Retry-After",
                                    QByteArray::number(answer.retryAfter).constData());
        if (!answer.allow.isEmpty())
            MHD_add_response_header(response, "Allow", answer.allow.constData());
        const MHD_Result queued = MHD_queue_response(connection, unsigned(answer.status), response);
        MHD_destroy_response(response);
        http.m_metrics.answered(double(exchange.started.nsecsElapsed()) / 1e9);
        return queued;
    }

    static MHD_Result access(void *cls, MHD_Connection *connection, const char *url,
                             const char *method, const char * /*version*/, const char *uploadData,
                             size_t *uploadSize, void **context)
    {
        auto &http = *static_cast<HttpService *>(cls);
        auto *exchange = static_cast<HttpService::Exchange *>(*context);
        if (!exchange) {
            exchange = new HttpService::Exchange;
            exchange->started.start();
            *context = exchange;
            ++http.m_open;
            bool numeric = false;
            const qint64 length =
                header(connection, MHD_HTTP_HEADER_CONTENT_LENGTH).toLongLong(&numeric);
            exchange->tooLarge = numeric && length > maxBodyBytes;
            return MHD_YES;
        }
        if (*uploadSize > 0) {
            if (!exchange->tooLarge && exchange->body.size() + qint64(*uploadSize) <= maxBodyBytes)
                exchange->body.append(uploadData, qsizetype(*uploadSize));
            else
                exchange->tooLarge = true;
            *uploadSize = 0;
            return MHD_YES;
        }
        if (exchange->handled) { // resumed: the answer is there
            const std::lock_guard<std::mutex> lock(exchange->mutex);
            return send(http, connection, *exchange, *exchange->answer);
        }
        exchange->handled = true;
        return handle(http, connection, *exchange, url, method);
    }

    static MHD_Result handle(HttpService &http, MHD_Connection *connection,
                             HttpService::Exchange &exchange, const char *url, const char *method)
    {
        HttpRequest request;
        request.method = method;
        request.path = url;
        request.contentType = header(connection, MHD_HTTP_HEADER_CONTENT_TYPE);
        request.accept = header(connection, MHD_HTTP_HEADER_ACCEPT);
        request.forwardedFor = header(connection, "X-Forwarded-For");
        const MHD_ConnectionInfo *info =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
        const std::optional<IpAddress> peer =
            info ? IpAddress::fromSocketAddress(info->client_addr) : std::nullopt;
        if (peer)
            request.peer = *peer;
        request.body = std::move(exchange.body);
        request.bodyTooLarge = exchange.tooLarge;

        HttpService::Exchange *shared = &exchange;
        const std::optional<Answer> now =
            http.m_service.handle(request, [shared, connection](const Answer &answer) {
                bool resume = false;
                {
                    const std::lock_guard<std::mutex> lock(shared->mutex);
                    shared->answer = answer;
                    resume = shared->suspended;
                }
                if (resume)
                    MHD_resume_connection(connection);
            });
        if (now)
            return send(http, connection, exchange, *now);
        // The answer may have come already (the queue was full); else the connection waits
        // for it, suspended, and the batcher resumes it.
        const std::lock_guard<std::mutex> lock(exchange.mutex);
        if (exchange.answer)
            return send(http, connection, exchange, *exchange.answer);
        exchange.suspended = true;
        MHD_suspend_connection(connection);
        return MHD_YES;
    }

    static void completed(void *cls, MHD_Connection *, void **context, MHD_RequestTerminationCode)
    {
        auto &http = *static_cast<HttpService *>(cls);
        auto *exchange = static_cast<HttpService::Exchange *>(*context);
        if (!exchange)
            return;
        delete exchange;
        *context = nullptr;
        --http.m_open;
    }
};

HttpService::HttpService(SignUpService &service, ServiceMetrics &metrics)
    : m_service(service), m_metrics(metrics)
{}

HttpService::~HttpService()
{
    stop();
}

QString HttpService::start(const ServiceOptions &options)
{
    alignas(sockaddr_in6) char address[sizeof(sockaddr_in6)] = {};
    toSocketAddress(options.listen, address);
    unsigned flags = MHD_USE_AUTO_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME;
    if (options.listen.address.v6)
        flags |= MHD_USE_IPv6;
    const bool tls = !options.tlsCertificate.isEmpty();
    if (tls) {
        if (MHD_is_feature_supported(MHD_FEATURE_TLS) != MHD_YES)
            return QStringLiteral("this build of libmicrohttpd has no TLS; put a reverse proxy "
                                  "that serves HTTPS in front of the service");
        flags |= MHD_USE_TLS;
    }
    // libmicrohttpd takes the end of its options from a terminating entry; TLS adds two.
    const QByteArray cert = options.tlsCertificate + '\0';
    const QByteArray key = options.tlsKey + '\0';
    MHD_OptionItem tlsItems[] = {
        {MHD_OPTION_HTTPS_MEM_CERT, 0, const_cast<char *>(cert.constData())},
        {MHD_OPTION_HTTPS_MEM_KEY, 0, const_cast<char *>(key.constData())},
        {MHD_OPTION_END, 0, nullptr},
    };
    MHD_OptionItem noItems[] = {{MHD_OPTION_END, 0, nullptr}};
    m_daemon = MHD_start_daemon(
        flags, 0, nullptr, nullptr, &HttpCallbacks::access, this, MHD_OPTION_SOCK_ADDR,
        reinterpret_cast<sockaddr *>(address), MHD_OPTION_NOTIFY_COMPLETED,
        &HttpCallbacks::completed, this, MHD_OPTION_CONNECTION_TIMEOUT, connectionTimeoutSeconds,
        MHD_OPTION_CONNECTION_LIMIT, connectionLimit, MHD_OPTION_PER_IP_CONNECTION_LIMIT,
        unsigned(options.connectionsPerAddress), MHD_OPTION_CONNECTION_MEMORY_LIMIT,
        connectionMemoryLimit, MHD_OPTION_ARRAY, tls ? tlsItems : noItems, MHD_OPTION_END);
    if (!m_daemon)
        return QStringLiteral("cannot listen on %1: the address is in use or not this machine's%2")
            .arg(options.listen.toString(),
                 tls ? QStringLiteral(", or the certificate and key do not go together")
                     : QString());
    return {};
}

std::uint16_t HttpService::port() const
{
    const MHD_DaemonInfo *info =
        m_daemon ? MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_BIND_PORT) : nullptr;
    return info ? info->port : 0;
}

void HttpService::stopListening()
{
    if (!m_daemon)
        return;
    const MHD_socket listening = MHD_quiesce_daemon(m_daemon);
    if (listening != MHD_INVALID_SOCKET)
        closeSocket(listening);
}

void HttpService::stop()
{
    if (!m_daemon)
        return;
    stopListening();
    QElapsedTimer waited;
    waited.start();
    while (m_open > 0 && waited.elapsed() < 5000)
        QThread::msleep(10);
    MHD_stop_daemon(m_daemon);
    m_daemon = nullptr;
}
