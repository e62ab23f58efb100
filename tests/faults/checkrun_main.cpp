// The program as the kill test needs it: the real main window over a given database file,
// pointed at the tracking-site double, which starts one check run by itself (as "Проверить
// посылки" does) and exits when the run is over. The test kills it somewhere in between.
//
//   faults_checkrun <database file> <tracking page address> <probe port>
//
// Boxes are not shown but written to standard output, one line each, so that nothing waits
// for a click; "finished" follows when the run has ended.
#include "app/MainFormOptions.h"
#include "app/RecordingPrompts.h"
#include "app/TMainForm.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

namespace {

class PrintingPrompts : public RecordingPrompts
{
public:
    Button show(const Box& box) override
    {
        std::printf("box: %s\n", box.text.toUtf8().constData());
        std::fflush(stdout);
        return RecordingPrompts::show(box);
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <database file> <tracking page address> <probe port>\n", argv[0]);
        return 2;
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QGuiApplication::setQuitOnLastWindowClosed(false);

    PrintingPrompts prompts;
    MainFormOptions options;
    options.databasePath = argv[1];
    options.endpoints.trackingUrl = argv[2];
    options.endpoints.probeHost = "127.0.0.1";
    options.endpoints.probePort = QByteArray(argv[3]).toInt();
    options.browserStorageDir = QFileInfo(QString::fromLocal8Bit(argv[1])).absolutePath() + QStringLiteral("/browser");
    options.prompts = &prompts;

    TMainForm window(std::move(options));
    if (window.startupFailed())
        return 1;
    window.createParcelDialog();
    window.show();
    QTimer::singleShot(0, &window, [&window] {
        window.N4->trigger();
        std::printf("finished\n");
        std::fflush(stdout);
        QCoreApplication::quit();
    });
    return app.exec();
}
