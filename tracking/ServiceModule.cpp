#include "tracking/ServiceModule.h"

#include "tracking/ServiceTransport.h"
#include "tracking/TrackingSource.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPluginLoader>

namespace {

[[noreturn]] void fail(const QString& reason)
{
    throw TrackingSourceError(TrackingSourceError::Kind::Failed,
                              QStringLiteral("Не удалось загрузить компонент проверки посылок: установите программу "
                                             "заново"),
                              reason.toStdString());
}

} // namespace

QStringList ServiceModule::candidates()
{
    const QString named = qEnvironmentVariable(kOverrideVariable);
    if (!named.isEmpty())
        return {named};
    const QString file = QStringLiteral(KURIERIX_SERVICE_MODULE_FILE);
    const QDir program(QCoreApplication::applicationDirPath());
    return {program.filePath(file),
            QDir::cleanPath(program.filePath(QStringLiteral(KURIERIX_SERVICE_MODULE_FROM_PROGRAM "/") + file))};
}

std::unique_ptr<ServiceTransport> ServiceModule::createTransport(const QString& extraCaFile)
{
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

    // The plugin stays loaded for good, as the browser module does.
    QPluginLoader loader(found);
    QObject* root = loader.instance();
    if (root == nullptr)
        fail(loader.errorString());
    auto* provider = qobject_cast<ServiceTransportProvider*>(root);
    if (provider == nullptr)
        fail(QStringLiteral("%1 is a plugin of another kind").arg(found));
    std::unique_ptr<ServiceTransport> transport = provider->create(extraCaFile);
    if (!transport)
        fail(QStringLiteral("%1 made no transport").arg(found));
    return transport;
}
