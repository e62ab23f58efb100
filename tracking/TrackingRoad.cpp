#include "tracking/TrackingRoad.h"

#include "tracking/CheckWords.h"

#include "tracking/page/PageSource.h"
#include "tracking/service/ServiceModule.h"
#include "tracking/service/ServiceSource.h"

#include <QByteArray>
#include <QLoggingCategory>

namespace {

Q_LOGGING_CATEGORY(lcRoad, "kurierix")

} // namespace

TrackingRoad chooseTrackingRoad(const TrackingSettings& settings, const Endpoints& pageEndpoints)
{
    const QByteArray asked = settings.source.trimmed().toLower().toUtf8();
    if (asked == "service")
        return TrackingRoad::Service;
    if (asked == "page")
        return TrackingRoad::Page;
    if (!asked.isEmpty())
        qCWarning(lcRoad,
                  "значение KURIERIX_SOURCE=\"%s\" не равно ни service, ни page: источник выбирается как без "
                  "него",
                  asked.constData());
    if (!settings.trackingUrl.trimmed().isEmpty()
        || pageEndpoints.trackingUrl != Endpoints::postalOperator().trackingUrl)
        return TrackingRoad::Page;
    return TrackingRoad::Service;
}

std::unique_ptr<TrackingSource> makeTrackingSource(const TrackingSettings& settings, const Endpoints& pageEndpoints,
                                                   TrackingPageFactory pageFactory)
{
    if (chooseTrackingRoad(settings, pageEndpoints) == TrackingRoad::Page)
        return std::make_unique<PageSource>(std::move(pageFactory), pageEndpoints);
    ServiceEndpoint endpoint = ServiceEndpoint::fromSettings(settings);
    if (endpoint.caProblem.kind != SourceProblem::Kind::None)
        qCWarning(lcRoad, "%s", qPrintable(checkwords::sourceProblemText(endpoint.caProblem)));
    return std::make_unique<ServiceSource>(std::move(endpoint),
                                           [module = settings.serviceModule](const QString& extraCaFile) {
                                               return ServiceModule::createTransport(module, extraCaFile);
                                           });
}
