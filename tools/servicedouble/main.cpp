// kurierix-servicedouble: serves the tracking-service double on 127.0.0.1 until interrupted, so
// that the program can be run against it (KURIERIX_SERVICE_URL=<the printed address>).
#include "tools/servicedouble/ServiceDouble.h"
#include "tools/common/DoubleProcess.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kurierix-servicedouble"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Serves a stand-in for the postal operator's tracking service."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Port to listen on (0: any free one)."),
                                        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption fixtureOption(QStringLiteral("fixture"),
                                           QStringLiteral("The site double's JSON file with the answers."),
                                           QStringLiteral("FILE"));
    const QCommandLineOption latencyOption(QStringLiteral("latency"), QStringLiteral("Every answer waits MS ms."),
                                           QStringLiteral("MS"), QStringLiteral("0"));
    const QCommandLineOption httpsOption(QStringLiteral("https"),
                                         QStringLiteral("Serve HTTPS with a certificate made now, written to FILE."),
                                         QStringLiteral("FILE"));
    parser.addOptions({portOption, fixtureOption, latencyOption, httpsOption});
    parser.process(app);

    const std::optional<quint16> port = doubleprocess::port(parser, portOption, "kurierix-servicedouble");
    if (!port)
        return 2;
    ServiceDouble service;
    service.setLatency(std::chrono::milliseconds(parser.value(latencyOption).toInt()));
    if (parser.isSet(fixtureOption)) {
        QString error;
        if (!service.loadFixture(parser.value(fixtureOption), &error)) {
            std::fprintf(stderr, "kurierix-servicedouble: %s\n", qPrintable(error));
            return 2;
        }
    }

    const sigset_t stopSignals = doubleprocess::blockStopSignals();

    if (!service.start(*port, parser.isSet(httpsOption), parser.value(httpsOption))) {
        std::fprintf(stderr, "kurierix-servicedouble: cannot listen on 127.0.0.1:%u\n", unsigned(*port));
        return 1;
    }
    std::printf("%s\n", qPrintable(service.url()));
    std::fflush(stdout);

    doubleprocess::waitForStop(stopSignals);
    service.stop();
    std::printf("%lld requests\n", static_cast<long long>(service.requests().size()));
    return 0;
}
