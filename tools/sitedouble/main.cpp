// kurierix-sitedouble: serves the tracking-site double on 127.0.0.1 until interrupted, so that
// the program can be run against it (KURIERIX_TRACKING_URL=<the printed address>).
#include "tools/sitedouble/SiteDouble.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <pthread.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kurierix-sitedouble"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Serves a stand-in for the postal operator's tracking page."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Port to listen on (0: any free one)."),
                                        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption fixtureOption(QStringLiteral("fixture"), QStringLiteral("JSON file with the answers."),
                                           QStringLiteral("FILE"));
    // Page faults for trying the program by hand against a hostile page.
    const QCommandLineOption busyOption(QStringLiteral("busy-after-search"),
                                        QStringLiteral("A search starts a worker that never rests and a beacon "
                                                       "to /beacon every MS milliseconds."),
                                        QStringLiteral("MS"));
    const QCommandLineOption hugeOption(QStringLiteral("huge-texts"),
                                        QStringLiteral("A search sets a title, a console message, an error and an "
                                                       "address fragment of N characters."),
                                        QStringLiteral("N"));
    parser.addOption(portOption);
    parser.addOption(fixtureOption);
    parser.addOption(busyOption);
    parser.addOption(hugeOption);
    parser.process(app);

    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port > 65535) {
        std::fprintf(stderr, "kurierix-sitedouble: --port wants a number from 0 to 65535\n");
        return 2;
    }

    SiteDouble site;
    SiteDouble::PageFaults faults;
    faults.busyAfterSearchMs = parser.value(busyOption).toInt();
    faults.hugeTextsChars = parser.value(hugeOption).toInt();
    site.setPageFaults(faults);
    if (parser.isSet(fixtureOption)) {
        QString error;
        if (!site.loadFixture(parser.value(fixtureOption), &error)) {
            std::fprintf(stderr, "kurierix-sitedouble: %s\n", qPrintable(error));
            return 2;
        }
    }

    // Block the stop signals before the server threads start, so that they all inherit the
    // mask and the signal is taken here by sigwait.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    if (!site.start(static_cast<quint16>(port))) {
        std::fprintf(stderr, "kurierix-sitedouble: cannot listen on 127.0.0.1:%u\n", port);
        return 1;
    }
    std::printf("%s\n", qPrintable(site.url()));
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    site.stop();
    // What the page asked of the site, for whoever tries a program against it.
    std::printf("%d page requests, %d searches, %d beacon requests\n", site.pageRequests(), site.totalSearches(),
                site.beaconRequests());
    return 0;
}
