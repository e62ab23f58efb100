// kurierix-sitedouble: serves the tracking-site double on 127.0.0.1 until interrupted, so that
// the program can be run against it (KURIERIX_TRACKING_URL=<the printed address>).
#include "tools/sitedouble/SiteDouble.h"
#include "tools/common/DoubleProcess.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

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

    const std::optional<quint16> port = doubleprocess::port(parser, portOption, "kurierix-sitedouble");
    if (!port)
        return 2;

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

    const sigset_t stopSignals = doubleprocess::blockStopSignals();

    if (!site.start(*port)) {
        std::fprintf(stderr, "kurierix-sitedouble: cannot listen on 127.0.0.1:%u\n", unsigned(*port));
        return 1;
    }
    std::printf("%s\n", qPrintable(site.url()));
    std::fflush(stdout);

    doubleprocess::waitForStop(stopSignals);
    site.stop();
    // What the page asked of the site, for whoever tries a program against it.
    std::printf("%d page requests, %d searches, %d beacon requests\n", site.pageRequests(), site.totalSearches(),
                site.beaconRequests());
    return 0;
}
