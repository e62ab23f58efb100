#include "tracking/BrowserModule.h"

#include "store/Cp1251.h"
#include "tracking/TrackingPage.h"
#include "tracking/TrackingPageProvider.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPluginLoader>

namespace {

[[noreturn]] void fail(const QString& reason)
{
    throw EPageError(EPageError::Kind::NotInstalled, toCp1251(reason));
}

} // namespace

QStringList BrowserModule::candidates()
{
    const QString named = qEnvironmentVariable(kOverrideVariable);
    if (!named.isEmpty())
        return {named};
    const QString file = QStringLiteral(KURIERIX_BROWSER_MODULE_FILE);
    const QDir program(QCoreApplication::applicationDirPath());
    return {program.filePath(file),
            QDir::cleanPath(program.filePath(QStringLiteral(KURIERIX_BROWSER_MODULE_FROM_PROGRAM "/") + file))};
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

    const QStringList files = candidates();
    QString found;
    for (const QString& file : files) {
        if (QFileInfo(file).isFile()) {
            found = file;
            break;
        }
    }
    if (found.isEmpty())
        fail(QStringLiteral("no file %1").arg(files.join(QStringLiteral(", "))));

    // The plugin stays loaded for good: pages made with it may live until the program ends.
    QPluginLoader loader(found);
    QObject* root = loader.instance();
    if (root == nullptr)
        fail(loader.errorString());
    auto* provider = qobject_cast<TrackingPageProvider*>(root);
    if (provider == nullptr)
        fail(QStringLiteral("%1 is a plugin of another kind").arg(found));
    std::unique_ptr<TrackingPage> page = provider->create(storageDir);
    if (!page)
        fail(QStringLiteral("%1 made no page").arg(found));
    return page;
}

TrackingPageFactory browserPageFactory(QString storageDir)
{
    return [storageDir = std::move(storageDir)] { return BrowserModule::createPage(storageDir); };
}
