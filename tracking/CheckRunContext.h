#pragma once

class ParcelStore;
class TrackingPage;

// What a check run works on, as the session that starts it owns it: the store, the tracking page
// and the stop.
class CheckRunContext
{
public:
    virtual ~CheckRunContext() = default;

    // The open store, or nullptr once it is gone (the run must stop).
    virtual ParcelStore* store() = 0;
    // The hidden tracking page, created when first needed.
    virtual TrackingPage& trackingPage() = 0;
    // True once the run is to end at its next step; a wait under way ends at once. The run does
    // its own waiting, handling events meanwhile.
    virtual bool stopRequested() const = 0;
};
