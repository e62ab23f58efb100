#include "app/WindowPlugin.h"

#include "app/MainFormOptions.h"
#include "app/ProcessSetup.h"
#include "app/TMainForm.h"

#include <QApplication>
#include <QFile>
#include <QStandardPaths>

int WindowPlugin::run(int& argc, char** argv, const ProgramSettings& settings, StartMarks* marks)
{
    const auto reached = [marks](const char* step) {
        if (marks != nullptr)
            marks->reached(step);
    };
    ProcessSetup::beforeApplication(settings);
    QApplication app(argc, argv);
    // The title "Курьерикс 1.0" stands in the window's caption and the error report's; it is not
    // made Qt's display name, which X11 window systems would append to every caption again.
    QCoreApplication::setApplicationName(QStringLiteral("kurierix"));
    reached("application");

    // The rest keeps its defaults: database.db here, the system clock and locale, real message
    // boxes, the desktop's notifications and browser.
    MainFormOptions options;
    options.endpoints = Endpoints::fromSettings(settings.tracking);
    options.tracking = settings.tracking;
    options.sessionBus =
        settings.sessionBusAddressSet
        || (!settings.runtimeDir.isEmpty() && QFile::exists(settings.runtimeDir + QStringLiteral("/bus")));
    options.notificationBus = settings.sessionBusAddress;
    options.userUnitConfigHome = settings.configHome;
    options.browserStorageDir =
        QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/browser");
    TMainForm mainForm(std::move(options));
    reached("window");
    if (mainForm.startupFailed())
        return 1;
    if (marks != nullptr)
        marks->built(mainForm);
    mainForm.show();
    reached("show");
    return app.exec();
}
