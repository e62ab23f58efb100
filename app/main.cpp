// Курьерикс: starts the application, builds the main window and the parcel dialog, and runs
// the event loop until the main window closes.
#include "app/MainFormOptions.h"
#include "app/ProcessSetup.h"
#include "app/TMainForm.h"
#include "console/Console.h"

#include <QApplication>
#include <QStandardPaths>

#include <optional>

int main(int argc, char** argv)
{
    // A command such as --list runs without a window; no arguments start the window as always.
    if (const std::optional<int> status = Console::run(argc, argv))
        return *status;
    ProcessSetup::beforeApplication();
    QApplication app(argc, argv);
    // The title "Курьерикс 1.0" stands in the window's caption and the error report's; it is not
    // made Qt's display name, which X11 window systems would append to every caption again.
    QCoreApplication::setApplicationName(QStringLiteral("kurierix"));

    MainFormOptions options;
    options.endpoints = Endpoints::fromEnvironment();
    options.browserStorageDir =
        QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/browser");
    TMainForm mainForm(std::move(options));
    if (mainForm.startupFailed())
        return 1;
    mainForm.createParcelDialog();
    mainForm.show();
    return app.exec();
}
