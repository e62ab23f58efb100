// The program's start-up as app/main.cpp does it, with two reports for bench_startup: the
// moment the main window is first on screen ("exposed <ns>"), and, a little later, the
// processes the program has started and its resident memory. It then quits; it never starts a
// check run, so any browser-engine process found here was started too early.
#include "app/MainFormOptions.h"
#include "app/ProcessSetup.h"
#include "app/TMainForm.h"
#include "bench/support/ExposeReporter.h"
#include "bench/support/ProcessProbe.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace {

// "phase <name> <ns>": where the start-up time goes, for the driver's breakdown.
void phase(const char* name)
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::printf("phase %s %lld\n", name,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
}

// How long the program idles after its window is shown before its processes are listed:
// anything it starts on its own in the background has started by then.
constexpr int kSettleMs = 1500;

void reportProcessesAndQuit()
{
    const pid_t self = ::getpid();
    const std::vector<pid_t> children = ProcessProbe::descendants(self);
    int engine = 0;
    for (const pid_t child : children) {
        const std::string name = ProcessProbe::name(child);
        std::printf("child %d %s\n", int(child), name.c_str());
        if (name.find("QtWebEngine") != std::string::npos)
            ++engine;
    }
    std::printf("children %zu\nwebengine %d\n", children.size(), engine);
    std::printf("rss_kib %lld\npeak_rss_kib %lld\n", static_cast<long long>(ProcessProbe::residentKiB(self)),
                static_cast<long long>(ProcessProbe::peakResidentKiB(self)));
    std::fflush(stdout);
    QCoreApplication::quit();
}

} // namespace

int main(int argc, char** argv)
{
    phase("main");
    ProcessSetup::beforeApplication();
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kurierix"));
    phase("application");

    MainFormOptions options;
    options.endpoints = Endpoints::fromEnvironment();
    options.browserStorageDir =
        QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/browser");
    TMainForm mainForm(std::move(options));
    phase("window");
    if (mainForm.startupFailed())
        return 1;
    ExposeReporter reporter(mainForm, [] { QTimer::singleShot(kSettleMs, &reportProcessesAndQuit); });
    mainForm.show();
    phase("show");
    return app.exec();
}
