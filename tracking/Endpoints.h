#pragma once

#include <string>

struct TrackingSettings;

// Where the program looks parcels up. The postal operator's addresses are fixed;
// KURIERIX_TRACKING_URL (a full address) and KURIERIX_PROBE (host:port) in the settings override them,
// so the program can be pointed at the site double or at a moved page.
struct Endpoints
{
    std::string trackingUrl;
    std::string probeHost;
    int probePort = 80;

    static Endpoints postalOperator();                               // the fixed addresses
    static Endpoints fromSettings(const TrackingSettings& settings); // the fixed addresses, overridden

    // Splits "host:port" (also "[::1]:port"); false, leaving both untouched, when the text
    // has no host or no port in 1..65535.
    static bool parseHostPort(const std::string& text, std::string& host, int& port);
};
