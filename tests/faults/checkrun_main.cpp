// The program as the kill and quit tests need it: the real main window over a given database
// file, pointed at the tracking-site double, which starts one check run by itself (as
// "Проверить посылки" does) and exits when the run is over. The kill test kills it somewhere in
// between.
//
//   faults_checkrun <database file> <tracking page address> <probe port> [close-when-stuck <ms>]
//
// Boxes are not shown but written to standard output, one line each, so that nothing waits
// for a click; "finished" follows when the run has ended.
//
// With close-when-stuck, the program ends as it does for a user: when its last window closes.
// The page driver's bound on one page operation is <ms>, and the window is closed once a page
// operation has been awaited for 300 ms, so the close lands while a page script is awaited.
// It then writes "closing <CPU ms> <clock ms> <render process id>" and, when everything has
// been torn down, "ended <CPU ms> <clock ms>".
#include "app/MainFormOptions.h"
#include "app/RecordingPrompts.h"
#include "app/TMainForm.h"
#include "tracking/PageDriver.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>
#include <QWebEnginePage>

#include <cstdio>
#include <ctime>

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

// The page driver, noting since when its current operation has been awaited.
class TimedPage : public TrackingPage
{
public:
    TimedPage(const QString& dir, QObject* parent, std::chrono::milliseconds scriptTimeout) : m_driver(dir, parent)
    {
        m_driver.setScriptTimeout(scriptTimeout);
    }

    template <typename Operation> auto timed(Operation operation)
    {
        m_since.start();
        struct Done
        {
            QElapsedTimer& since;
            ~Done() { since.invalidate(); }
        } done{m_since};
        return operation();
    }

    void loadPage(const std::string& url) override
    {
        timed([&] { m_driver.loadPage(url); });
    }
    int readyState() override
    {
        return timed([&] { return m_driver.readyState(); });
    }
    void selectInternationalTracking() override
    {
        timed([&] { m_driver.selectInternationalTracking(); });
    }
    void enterNumber(const std::string& number) override
    {
        timed([&] { m_driver.enterNumber(number); });
    }
    void startSearch() override
    {
        timed([&] { m_driver.startSearch(); });
    }
    std::string readPageText() override
    {
        return timed([&] { return m_driver.readPageText(); });
    }
    std::string readPageHtml() override
    {
        return timed([&] { return m_driver.readPageHtml(); });
    }
    void setStopCondition(std::function<bool()> stopRequested) override
    {
        m_driver.setStopCondition(std::move(stopRequested));
    }

    // Milliseconds the current operation has been awaited; 0 between operations.
    qint64 awaitedMs() const { return m_since.isValid() ? m_since.elapsed() : 0; }
    qint64 renderProcessPid() const { return m_driver.webPage() ? m_driver.webPage()->renderProcessPid() : 0; }

private:
    PageDriver m_driver;
    QElapsedTimer m_since;
};

qint64 cpuMs()
{
    timespec used{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return qint64(used.tv_sec) * 1000 + used.tv_nsec / 1000000;
}

qint64 clockMs()
{
    return QDeadlineTimer::current().deadline();
}

} // namespace

int main(int argc, char** argv)
{
    const bool closeWhenStuck = argc == 6 && QByteArray(argv[4]) == "close-when-stuck";
    if (argc != 4 && !closeWhenStuck) {
        std::fprintf(stderr, "usage: %s <database file> <tracking page address> <probe port> [close-when-stuck <ms>]\n",
                     argv[0]);
        return 2;
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QGuiApplication::setQuitOnLastWindowClosed(closeWhenStuck);

    PrintingPrompts prompts;
    MainFormOptions options;
    options.databasePath = argv[1];
    options.endpoints.trackingUrl = argv[2];
    options.endpoints.probeHost = "127.0.0.1";
    options.endpoints.probePort = QByteArray(argv[3]).toInt();
    options.browserStorageDir = QFileInfo(QString::fromLocal8Bit(argv[1])).absolutePath() + QStringLiteral("/browser");
    options.prompts = &prompts;
    TimedPage* page = nullptr;
    if (closeWhenStuck) {
        const std::chrono::milliseconds scriptTimeout(QByteArray(argv[5]).toInt());
        options.pageFactory = [&page, scriptTimeout](const QString& dir, QObject* parent) {
            auto timed = std::make_unique<TimedPage>(dir, parent, scriptTimeout);
            page = timed.get();
            return timed;
        };
    }

    int result = 0;
    {
        TMainForm window(std::move(options));
        if (window.startupFailed())
            return 1;
        window.createParcelDialog();
        window.show();
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, &window, [&] {
            if (page == nullptr || page->awaitedMs() < 300)
                return;
            closer.stop();
            std::printf("closing %lld %lld %lld\n", cpuMs(), clockMs(), page->renderProcessPid());
            std::fflush(stdout);
            window.close();
        });
        if (closeWhenStuck)
            closer.start(20);
        QTimer::singleShot(0, &window, [&window] {
            window.N4->trigger();
            std::printf("finished\n");
            std::fflush(stdout);
            QCoreApplication::quit();
        });
        result = app.exec();
    }
    if (closeWhenStuck) {
        std::printf("ended %lld %lld\n", cpuMs(), clockMs());
        std::fflush(stdout);
    }
    return result;
}
