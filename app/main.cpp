// Курьерикс: starts the application, builds the main window (with its parcel dialog) over
// what it needs from outside, and runs the event loop until the main window closes.
#include "app/MainFormOptions.h"
#include "app/ProcessSetup.h"
#include "app/TMainForm.h"
#include "console/Console.h"
#include "console/ConsoleCheck.h"
#include "tracking/BrowserModule.h"
#include "tracking/TrackingRoad.h"

#include <QApplication>
#include <QGuiApplication>
#include <QStandardPaths>

#include <memory>
#include <optional>

namespace {

QString browserStorageDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/browser");
}

// `kurierix --check`: no window. The browser page needs a GUI application object and the process
// set up for its engine; the tracking service needs no more than a core application, which loads
// no platform plugin.
int checkWithoutWindow(int& argc, char** argv, bool quiet)
{
    ProcessSetup::withoutWindow();
    ConsoleCheck::Settings settings;
    settings.quiet = quiet;
    settings.origin = ConsoleCheck::originFromEnvironment();
    settings.endpoints = Endpoints::fromEnvironment();
    const bool page = chooseTrackingRoad(settings.endpoints) == TrackingRoad::Page;
    if (page)
        ProcessSetup::beforeApplication();
    const std::unique_ptr<QCoreApplication> app =
        page ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kurierix"));
    settings.pageFactory = browserPageFactory(browserStorageDir());
    return ConsoleCheck::run(settings);
}

} // namespace

int main(int argc, char** argv)
{
    // A command such as --list runs without a window; no arguments start the window as always.
    const Console::CheckCommand check = [&argc, argv](bool quiet) { return checkWithoutWindow(argc, argv, quiet); };
    if (const std::optional<int> status = Console::run(argc, argv, check))
        return *status;
    ProcessSetup::beforeApplication();
    QApplication app(argc, argv);
    // The title "Курьерикс 1.0" stands in the window's caption and the error report's; it is not
    // made Qt's display name, which X11 window systems would append to every caption again.
    QCoreApplication::setApplicationName(QStringLiteral("kurierix"));

    // The rest keeps its defaults: database.db here, the system clock and locale, real message
    // boxes, the desktop's notifications and browser.
    MainFormOptions options;
    options.endpoints = Endpoints::fromEnvironment();
    options.browserStorageDir = browserStorageDir();
    TMainForm mainForm(std::move(options));
    if (mainForm.startupFailed())
        return 1;
    mainForm.show();
    return app.exec();
}
