#pragma once

#include "tracking/Endpoints.h"
#include "tracking/page/TrackingPageFactory.h"
#include "tracking/TrackingSource.h"
#include "tracking/TrackingSettings.h"

#include <memory>

// Which road a check run takes to the answers. The operator's tracking service is the one that
// answers today, and the default. The tracking page stays for any page that keeps its contract:
// it is taken when asked for (KURIERIX_SOURCE=page) or when the program is pointed at a page
// (KURIERIX_TRACKING_URL, or endpoints naming another page than the operator's);
// KURIERIX_SOURCE=service takes the service whatever else is set.
enum class TrackingRoad { Service, Page };

TrackingRoad chooseTrackingRoad(const TrackingSettings& settings, const Endpoints& pageEndpoints);

// The source of the road chosen: the page made by `pageFactory` at `pageEndpoints`, or the
// service at its address from the settings.
std::unique_ptr<TrackingSource> makeTrackingSource(const TrackingSettings& settings, const Endpoints& pageEndpoints,
                                                   TrackingPageFactory pageFactory);
