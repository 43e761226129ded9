#include "register/HttpService.h"
#include "register/ServiceMetrics.h"
#include "register/ServiceOptions.h"
#include "register/SignUpBatcher.h"
#include "register/SignUpService.h"
#include "register/StopSignal.h"

#include "core/AccountFile.h"
#include "core/AuditTrail.h"
#include "core/FileSizeLimit.h"
#include "core/ServerLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace {

void print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    if (!bytes.endsWith('\n'))
        std::fputc('\n', stream);
    std::fflush(stream);
}

int run(const ServiceOptions &options)
{
    // The copy of each update is made beside the account file, where the service may write
    // whatever folder it was started in.
    QDir::setCurrent(QFileInfo(accountFilePath(options.serverFolder)).absolutePath());
    ServiceMetrics metrics;
    SignUpBatcher batcher(options.serverFolder, options.queueLimit);
    batcher.setBatchObserver(
        [&metrics](int accounts, bool written) { metrics.batchWritten(accounts, written); });
    SignUpService service(options, batcher, metrics);
    HttpService http(service, metrics);
    if (const QString error = http.start(options); !error.isEmpty()) {
        print(stderr, QStringLiteral("kelto-register: ") + error);
        return ServiceExitUnavailable;
    }
    ListenAddress bound = options.listen;
    bound.port = http.port();
    print(stdout, QStringLiteral("kelto-register: listening on %1://%2/ for %3")
                      .arg(options.tlsCertificate.isEmpty() ? QStringLiteral("http")
                                                            : QStringLiteral("https"),
                           bound.toString(),
                           QDir::toNativeSeparators(accountFilePath(options.serverFolder))));
    while (!waitForStopSignal(60 * 1000))
        service.sendRefusalSummary();
    http.stopListening();
    batcher.finish();
    http.stop();
    service.sendRefusalSummary();
    if (const QString lost = finishAuditTrail(); !lost.isEmpty())
        print(stderr, QStringLiteral("kelto-register: ") + lost);
    print(stdout, QStringLiteral("kelto-register: stopped"));
    stoppedAfterSignal();
    return ServiceExitDone;
}

} // namespace

int main(int argc, char *argv[])
{
    catchStopSignals();
    letWritesFailBeyondFileSizeLimit();
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelto-register"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELTO_VERSION));
    // The batcher's thread, not a request's, waits for a busy log: a batch's answers go out a
    // moment later rather than its records being dropped.
    setAuditWaitLimit(100);
    const ServiceCommandLine line = parseServiceCommandLine(
        QCoreApplication::arguments(), &QCoreApplication::applicationDirPath,
        qEnvironmentVariable(qPrintable(serverFolderVariable)));
    switch (line.action) {
    case ServiceCommandLine::Action::ShowText:
        print(stdout, line.text);
        return ServiceExitDone;
    case ServiceCommandLine::Action::UsageError:
        print(stderr, QStringLiteral("kelto-register: ") + line.text);
        return ServiceExitUsage;
    case ServiceCommandLine::Action::CannotStart:
        print(stderr, QStringLiteral("kelto-register: ") + line.text);
        return ServiceExitNoInput;
    case ServiceCommandLine::Action::Run:
        break;
    }
    return run(line.options);
}
