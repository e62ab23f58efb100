// The floor for bench_startup: a bare Qt Widgets window of the main window's size, started the
// same way, reporting when it is first on screen ("exposed <ns>").
#include "bench/support/ExposeReporter.h"
#include "bench/support/ProcessProbe.h"

#include <QApplication>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace {

// "phase <name> <ns>", as the program's harness prints them.
void phase(const char* name)
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::printf("phase %s %lld\n", name,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
}

} // namespace

int main(int argc, char** argv)
{
    phase("main");
    QApplication app(argc, argv);
    phase("application");
    QWidget window;
    window.setFixedSize(944, 761);
    ExposeReporter reporter(window, [] {
        std::printf("rss_kib %lld\npeak_rss_kib %lld\n", static_cast<long long>(ProcessProbe::residentKiB(::getpid())),
                    static_cast<long long>(ProcessProbe::peakResidentKiB(::getpid())));
        std::fflush(stdout);
        QCoreApplication::quit();
    });
    window.show();
    phase("show");
    return app.exec();
}
