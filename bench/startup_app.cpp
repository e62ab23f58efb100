// The program's start-up as app/main.cpp does it (the window's module loaded, then started),
// with two reports for bench_startup: the
// moment the main window is first on screen ("exposed <ns>"), and, a little later, the
// processes the program has started and its resident memory. It then quits; it never starts a
// check run, so any browser-engine process found here was started too early.
#include "app/ProgramSettings.h"
#include "app/WindowProvider.h"
#include "bench/support/ExposeReporter.h"
#include "bench/support/ProcessProbe.h"
#include "tracking/ModuleLoader.h"

#include <QCoreApplication>
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

// The window module's marks become the driver's phases; the window built, its first exposure is
// watched for.
class Marks : public WindowProvider::StartMarks
{
public:
    void reached(const char* step) override { phase(step); }
    void built(QWidget& window) override
    {
        // Goes with the application object.
        auto* reporter = new ExposeReporter(window, [] { QTimer::singleShot(kSettleMs, &reportProcessesAndQuit); });
        reporter->setParent(QCoreApplication::instance());
    }
};

} // namespace

int main(int argc, char** argv)
{
    phase("main");
    const LoadedModule module = loadModule({QStringLiteral(KURIERIX_WINDOW_MODULE_BUILT)});
    auto* provider = qobject_cast<WindowProvider*>(module.root);
    if (provider == nullptr) {
        std::fprintf(stderr, "bench_startup_app: no window module: %s\n", qPrintable(module.failure));
        return 1;
    }
    phase("module");
    Marks marks;
    return provider->run(argc, argv, ProgramSettings::fromEnvironment(), &marks);
}
