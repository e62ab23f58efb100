#include "tracking/ServiceModule.h"

#include "tracking/ModuleLoader.h"
#include "tracking/ServiceTransport.h"
#include "tracking/TrackingSource.h"

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
    return moduleCandidates(kOverrideVariable, QStringLiteral(KURIERIX_SERVICE_MODULE_FILE),
                            QStringLiteral(KURIERIX_SERVICE_MODULE_FROM_PROGRAM));
}

std::unique_ptr<ServiceTransport> ServiceModule::createTransport(const QString& extraCaFile)
{
    const LoadedModule module = loadModule(candidates());
    if (module.root == nullptr)
        fail(module.failure);
    auto* provider = qobject_cast<ServiceTransportProvider*>(module.root);
    if (provider == nullptr)
        fail(QStringLiteral("%1 is a plugin of another kind").arg(module.file));
    std::unique_ptr<ServiceTransport> transport = provider->create(extraCaFile);
    if (!transport)
        fail(QStringLiteral("%1 made no transport").arg(module.file));
    return transport;
}
