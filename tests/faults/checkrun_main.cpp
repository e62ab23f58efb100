// The program as the quit test needs it: the real main window over a given database file,
// pointed at the tracking-site double, which starts one check run by itself (as "Проверить
// посылки" does) and is closed by a user in the middle of it.
//
//   faults_checkrun <database file> <tracking page address> <probe port> <page operation ms>
//
// Boxes are not shown but written to standard output, one line each, so that nothing waits
// for a click. The program ends as for a user, when its last window closes; one page operation
// may take <page operation ms>. The window is closed once the log has ended in "- отправка
// данных" for 300 ms, so the close lands while the page is awaited. The program then writes
// "closing <CPU ms> <clock ms> <render process id>" and, once all is torn down, "ended <CPU ms>
// <clock ms>".
#include "app/MainFormOptions.h"
#include "tests/support/RecordingPrompts.h"
#include "app/TMainForm.h"
#include "tests/support/MainFormView.h"
#include "tracking/CheckSession.h"
#include "tracking/page/PageSource.h"
#include "tracking/page/browser/PageDriver.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTimer>
#include <QWebEnginePage>

#include <cstdio>
#include <ctime>
#include <memory>

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

qint64 cpuMs()
{
    timespec used{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return qint64(used.tv_sec) * 1000 + used.tv_nsec / 1000000;
}

// The browser page the run's driver made last, while it lives.
QPointer<QWebEnginePage> lastPage;

// Closes the window once the page has been awaited after a search for 300 ms.
void closeWhenStuck(TMainForm& window)
{
    auto* closer = new QTimer(&window);
    auto stuck = std::make_shared<QElapsedTimer>();
    QObject::connect(closer, &QTimer::timeout, &window, [&window, closer, stuck] {
        if (!ui(window).Memo_Status->toPlainText().endsWith(QStringLiteral("- отправка данных"))) {
            stuck->invalidate();
            return;
        }
        if (!stuck->isValid())
            stuck->start();
        if (stuck->elapsed() < 300)
            return;
        closer->stop();
        std::printf("closing %lld %lld %lld\n", cpuMs(), QDeadlineTimer::current().deadline(),
                    lastPage ? lastPage->renderProcessPid() : 0);
        std::fflush(stdout);
        window.close();
    });
    closer->start(20);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s <database file> <tracking page address> <probe port> <page operation ms>\n",
                     argv[0]);
        return 2;
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);

    PrintingPrompts prompts;
    MainFormOptions options;
    options.databasePath = argv[1];
    options.endpoints.trackingUrl = argv[2];
    options.endpoints.probeHost = "127.0.0.1";
    options.endpoints.probePort = QByteArray(argv[3]).toInt();
    options.browserStorageDir = QFileInfo(QString::fromLocal8Bit(argv[1])).absolutePath() + QStringLiteral("/browser");
    options.prompts = &prompts;
    const std::chrono::milliseconds scriptTimeout(QByteArray(argv[4]).toInt());
    options.pageFactory = [scriptTimeout, dir = options.browserStorageDir] {
        PageDriverOptions driverOptions;
        driverOptions.scriptTimeout = [scriptTimeout] { return scriptTimeout; };
        driverOptions.pageCreated = [](QWebEnginePage* page) { lastPage = page; };
        return std::make_unique<PageDriver>(dir, std::move(driverOptions));
    };

    int result = 0;
    {
        TMainForm window(std::move(options));
        if (window.startupFailed())
            return 1;
        window.show();
        closeWhenStuck(window);
        QTimer::singleShot(0, &window, [&window] { ui(window).N4->trigger(); });
        result = app.exec();
    }
    std::printf("ended %lld %lld\n", cpuMs(), QDeadlineTimer::current().deadline());
    return result;
}
