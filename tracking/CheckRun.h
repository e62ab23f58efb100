#pragma once

#include "store/Parcel.h"
#include "tracking/CheckEvent.h"
#include "tracking/CheckLimits.h"
#include "tracking/CheckOutcome.h"
#include "tracking/EventWait.h"
#include "tracking/TrackingSource.h"

#include <QString>

#include <cstdint>
#include <exception>
#include <functional>

class ParcelStore;
class UnreadableCopies;

// The check run over every parcel: the body of `Button_CheckClick`, whatever the answers come
// from. Runs synchronously on the UI thread and keeps the window alive by handling events while
// it waits. It works on what its session gives it (the store, the tracking source, the stop)
// and tells what happens as events, which it neither words nor shows. What it did, parcel by
// parcel, is its outcome.
class CheckRun
{
public:
    struct Parts
    {
        TrackingSource& source;
        const CheckLimits& limits;
        const UnreadableCopies& copies;
        // The store of the run; nullptr once the run is to stop.
        std::function<ParcelStore*()> store;
        // A millisecond tick count that wraps at 2^32; empty: the monotonic clock.
        std::function<std::uint32_t()> ticks;
        std::function<void(const CheckEvent&)> tell;
    };

    explicit CheckRun(Parts parts);
    CheckRun(const CheckRun&) = delete;
    CheckRun& operator=(const CheckRun&) = delete;

    CheckOutcome execute();

private:
    void walk();
    bool stopped() const;
    bool pause(int ms);
    // Asks the source about the parcel at `row` and stores what it says. False when the run is
    // to end.
    bool check(std::size_t row, bool& prepareFirst);
    bool storeGuarded(ParcelOutcome& outcome, TrackingAnswer::Kind answer, ParcelOutcome::Result result,
                      const QString& statusAfter, const std::function<bool(ParcelStore&)>& statement);
    void tell(CheckEvent::Kind kind);
    void tell(CheckEvent::Kind kind, const ParcelOutcome& outcome,
              TrackingAnswer::Kind answer = TrackingAnswer::Kind::NothingFound);
    void keepUnreadable(ParcelOutcome& outcome, const TrackingAnswer& answer);
    void siteDidNotAnswer();
    void sourceFailed(SourceFailure failure, const ParcelOutcome* parcel);
    void resultsFinalIfStored();
    void finish();
    void ended();

    Parts m_parts;
    TrackingSource& m_source;
    EventWait m_wait;
    std::vector<Parcel> m_parcels;
    bool m_storedAny = false;
    CheckOutcome m_outcome;
};
