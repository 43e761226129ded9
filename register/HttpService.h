#pragma once

#include "register/ServiceOptions.h"

#include <QString>

#include <atomic>
#include <cstdint>

struct MHD_Daemon;
class ServiceMetrics;
class SignUpService;

// Carries the service's answers over HTTP with GNU libmicrohttpd: its own thread polls every
// connection, bodies are read whole (4 KiB at most), and a registration's connection is
// suspended, holding no thread, until its batch has been written.
class HttpService
{
public:
    HttpService(SignUpService &service, ServiceMetrics &metrics);
    ~HttpService();
    HttpService(const HttpService &) = delete;
    HttpService &operator=(const HttpService &) = delete;

    // Starts listening; the reason when it cannot.
    QString start(const ServiceOptions &options);
    // The port listened on (the one the system chose, for port 0).
    std::uint16_t port() const;
    // Takes no new connections; those open go on.
    void stopListening();
    // Once every registration has been answered: lets the answers go out, for a few seconds at
    // most, then closes every connection.
    void stop();

    struct Exchange;

private:
    MHD_Daemon *m_daemon = nullptr;
    SignUpService &m_service;
    ServiceMetrics &m_metrics;
    std::atomic<int> m_open{0}; // requests not yet completed

    friend struct HttpCallbacks;
};
