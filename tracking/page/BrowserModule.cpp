#include "tracking/page/BrowserModule.h"

#include "tracking/ModuleLoader.h"
#include "tracking/page/TrackingPage.h"
#include "tracking/page/TrackingPageProvider.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>

namespace {

[[noreturn]] void fail(const QString& reason)
{
    throw EPageError(EPageError::Kind::NotInstalled, reason);
}

} // namespace

QStringList BrowserModule::candidates(const QString& named)
{
    return moduleCandidates(named, QStringLiteral(KURIERIX_BROWSER_MODULE_FILE),
                            QStringLiteral(KURIERIX_BROWSER_MODULE_FROM_PROGRAM));
}

std::unique_ptr<TrackingPage> BrowserModule::createPage(const QString& storageDir, const TrackingSettings& settings)
{
    // The page road is a package of its own: where it is not installed, the user is told which
    // package to install rather than that the program is broken.
    const QStringList files = candidates(settings.browserModule);
    if (settings.browserModule.isEmpty()
        && std::none_of(files.begin(), files.end(), [](const QString& file) { return QFileInfo(file).isFile(); }))
        throw EPageError(EPageError::Kind::NotPackaged,
                         QStringLiteral("no file %1").arg(files.join(QStringLiteral(", "))));

    // The engine crashes its process when it starts without these; prepareProcess() sees to them.
    const QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr || !application->inherits("QGuiApplication"))
        fail(QStringLiteral("the browser engine needs a graphical application object"));
    if (!QCoreApplication::testAttribute(Qt::AA_ShareOpenGLContexts))
        fail(QStringLiteral("the browser engine needs Qt::AA_ShareOpenGLContexts set before the application "
                            "object is made"));

    return makeWithModule<TrackingPageProvider>(
        files, "page",
        [&](TrackingPageProvider& provider) { return provider.create(storageDir, settings.pageNotifications); }, fail);
}

std::unique_ptr<QCoreApplication> BrowserModule::createApplication(int& argc, char** argv, const QString& named)
{
    const LoadedModule module = loadModule(candidates(named));
    auto* provider = qobject_cast<TrackingPageProvider*>(module.root);
    return provider != nullptr ? provider->createApplication(argc, argv) : nullptr;
}

TrackingPageFactory browserPageFactory(QString storageDir, TrackingSettings settings)
{
    return [storageDir = std::move(storageDir), settings = std::move(settings)] {
        return BrowserModule::createPage(storageDir, settings);
    };
}
