// Курьерикс: runs a command without a window (--help, --list, --check), or loads the window's
// module and hands the command line over. This program links Qt Core alone: a command maps no
// library of Qt Widgets or Gui, nor what they pull in (X11, OpenGL).
#include "app/ProgramSettings.h"
#include "app/WindowModule.h"
#include "console/Console.h"
#include "console/ConsoleCheck.h"
#include "tracking/page/BrowserModule.h"
#include "tracking/TrackingRoad.h"

#include <QCoreApplication>
#include <QStandardPaths>

#include <memory>
#include <optional>

namespace {

// `kurierix --check`: no window. The browser page needs a graphical application object, which its
// module makes, and the process set up for its engine; the tracking service needs no more than a
// core application, which loads no platform plugin.
int checkWithoutWindow(int& argc, char** argv, bool quiet, const ProgramSettings& program)
{
    ConsoleCheck::prepareProcess(program.loggingRulesChosen);
    ConsoleCheck::Settings settings;
    settings.quiet = quiet;
    settings.origin = ConsoleCheck::originNamed(program.checkOrigin);
    settings.tracking = program.tracking;
    settings.endpoints = Endpoints::fromSettings(program.tracking);
    settings.sessionBus = program.sessionBusAddress;
    std::unique_ptr<QCoreApplication> app;
    if (chooseTrackingRoad(program.tracking, settings.endpoints) == TrackingRoad::Page) {
        BrowserModule::prepareProcess(program.sandboxChosen);
        app = BrowserModule::createApplication(argc, argv, program.tracking.browserModule);
    }
    // Without the browser module the run still starts, and says which package is missing.
    if (!app)
        app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kurierix"));
    settings.pageFactory = browserPageFactory(
        QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/browser"), program.tracking);
    return ConsoleCheck::run(settings);
}

} // namespace

int main(int argc, char** argv)
{
    // The environment is read here, once; what follows is handed what it needs of it.
    const ProgramSettings settings = ProgramSettings::fromEnvironment();
    // A command such as --list runs without a window; no arguments (or only Qt's own window
    // options) start the window as always.
    const Console::CheckCommand check = [&argc, argv, &settings](bool quiet) {
        return checkWithoutWindow(argc, argv, quiet, settings);
    };
    if (const std::optional<int> status = Console::run(argc, argv, check))
        return *status;
    return WindowModule::run(argc, argv, settings);
}
