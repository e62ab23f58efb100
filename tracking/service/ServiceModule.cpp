#include "tracking/service/ServiceModule.h"

#include "tracking/ModuleLoader.h"
#include "tracking/service/ServiceTransport.h"
#include "tracking/TrackingSource.h"

namespace {

[[noreturn]] void fail(const QString& reason)
{
    throw TrackingSourceError(TrackingSourceError::Kind::Failed, SourceFailure::ServiceModuleMissing, reason);
}

} // namespace

QStringList ServiceModule::candidates(const QString& named)
{
    return moduleCandidates(named, QStringLiteral(KURIERIX_SERVICE_MODULE_FILE),
                            QStringLiteral(KURIERIX_SERVICE_MODULE_FROM_PROGRAM));
}

std::unique_ptr<ServiceTransport> ServiceModule::createTransport(const QString& named, const QString& extraCaFile)
{
    return makeWithModule<ServiceTransportProvider>(
        candidates(named), "transport",
        [&](ServiceTransportProvider& provider) { return provider.create(extraCaFile); }, fail);
}
