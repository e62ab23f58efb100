#include "tracking/BrowserModule.h"

#include "store/Cp1251.h"
#include "tracking/ModuleLoader.h"
#include "tracking/TrackingPage.h"
#include "tracking/TrackingPageProvider.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>

namespace {

[[noreturn]] void fail(const QString& reason)
{
    throw EPageError(EPageError::Kind::NotInstalled, toCp1251(reason));
}

} // namespace

QStringList BrowserModule::candidates()
{
    return moduleCandidates(kOverrideVariable, QStringLiteral(KURIERIX_BROWSER_MODULE_FILE),
                            QStringLiteral(KURIERIX_BROWSER_MODULE_FROM_PROGRAM));
}

std::unique_ptr<TrackingPage> BrowserModule::createPage(const QString& storageDir)
{
    // The engine crashes its process when it starts without these; ProcessSetup sees to them.
    const QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr || !application->inherits("QGuiApplication"))
        fail(QStringLiteral("the browser engine needs a graphical application object"));
    if (!QCoreApplication::testAttribute(Qt::AA_ShareOpenGLContexts))
        fail(QStringLiteral("the browser engine needs Qt::AA_ShareOpenGLContexts set before the application "
                            "object is made"));

    // The page road is a package of its own: where it is not installed, the user is told which
    // package to install rather than that the program is broken.
    const QStringList files = candidates();
    if (qEnvironmentVariableIsEmpty(kOverrideVariable)
        && std::none_of(files.begin(), files.end(), [](const QString& file) { return QFileInfo(file).isFile(); }))
        throw EPageError(EPageError::Kind::NotPackaged,
                         toCp1251(QStringLiteral("no file %1").arg(files.join(QStringLiteral(", ")))));

    return makeWithModule<TrackingPageProvider>(
        files, "page", [&](TrackingPageProvider& provider) { return provider.create(storageDir); }, fail);
}

TrackingPageFactory browserPageFactory(QString storageDir)
{
    return [storageDir = std::move(storageDir)] { return BrowserModule::createPage(storageDir); };
}
