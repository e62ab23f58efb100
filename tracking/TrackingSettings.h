#pragma once

#include <QString>

// What the environment says about the check run's roads, read once as the program starts and
// handed down; a text is empty where its variable is not set. Each road reads its own values,
// and says there what it cannot use.
struct TrackingSettings
{
    QString source;        // KURIERIX_SOURCE: "service" or "page" takes that road whatever else is set
    QString trackingUrl;   // KURIERIX_TRACKING_URL: the tracking page's address
    QString probe;         // KURIERIX_PROBE: host:port the probe knocks at before a run
    QString serviceUrl;    // KURIERIX_SERVICE_URL: the tracking service's address
    QString serviceCaFile; // KURIERIX_SERVICE_CA: a PEM file of certificates trusted besides the system's
    QString servicePace;   // KURIERIX_SERVICE_PACE: milliseconds from one request to the next
    QString browserModule; // KURIERIX_BROWSER_MODULE: the browser module's file, the only one looked at
    QString serviceModule; // KURIERIX_SERVICE_MODULE: the service module's file, the only one looked at
    // Off with KURIERIX_NO_PAGE_NOTIFICATIONS: the page is then watched by its looks alone.
    bool pageNotifications = true;
};
