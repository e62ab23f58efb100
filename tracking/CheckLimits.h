#pragma once

// How long a check run waits on the outside world. The defaults are the program's own; tests
// shorten them so that a site that never answers does not cost half a minute.
struct CheckLimits
{
    int pauseBeforeProbeMs = 100;
    int probeTimeoutMs = 3000;
    int pageLoadMs = 30000; // the tracking page must be complete within this
    int searchMs = 30000;   // one number's answer must replace the loading text within this
    // The longest time between two looks at the page while it tells of no change: what a
    // change notification that never comes costs at most.
    int fallbackLookMs = 500;
    // The first wait when the tracking service says it is busy without saying for how long;
    // each next one is three times as long (5, 15, 45 s).
    int serviceBackoffMs = 5000;
};
