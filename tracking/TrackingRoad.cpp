#include "tracking/TrackingRoad.h"

#include "tracking/page/PageSource.h"
#include "tracking/service/ServiceSource.h"

#include <QByteArray>
#include <QLoggingCategory>

namespace {

Q_LOGGING_CATEGORY(lcRoad, "kurierix")

} // namespace

TrackingRoad chooseTrackingRoad(const Endpoints& pageEndpoints)
{
    const QByteArray asked = qgetenv("KURIERIX_SOURCE").trimmed().toLower();
    if (asked == "service")
        return TrackingRoad::Service;
    if (asked == "page")
        return TrackingRoad::Page;
    if (!asked.isEmpty())
        qCWarning(lcRoad,
                  "значение KURIERIX_SOURCE=\"%s\" не равно ни service, ни page: источник выбирается как без "
                  "него",
                  asked.constData());
    if (!qgetenv("KURIERIX_TRACKING_URL").trimmed().isEmpty()
        || pageEndpoints.trackingUrl != Endpoints::postalOperator().trackingUrl)
        return TrackingRoad::Page;
    return TrackingRoad::Service;
}

std::unique_ptr<TrackingSource> makeTrackingSource(const Endpoints& pageEndpoints, TrackingPageFactory pageFactory)
{
    if (chooseTrackingRoad(pageEndpoints) == TrackingRoad::Page)
        return std::make_unique<PageSource>(std::move(pageFactory), pageEndpoints);
    return std::make_unique<ServiceSource>(ServiceEndpoint::fromEnvironment());
}
