#pragma once

#include "store/Parcel.h"
#include "tracking/CheckLimits.h"
#include "tracking/CheckOutcome.h"
#include "tracking/EventWait.h"
#include "tracking/TrackingSource.h"

#include <QString>

#include <cstdint>
#include <exception>
#include <functional>

class CheckSession;
class ParcelStore;

// The check run over every parcel: the body of `Button_CheckClick`, whatever the answers come
// from. Runs synchronously on the UI thread and keeps the window alive by handling events while
// it waits. It works on what its session gives it (the store, the tracking source, the stop)
// and tells of its progress in the session's signals. What it did, parcel by parcel, is its
// outcome.
class CheckRun
{
public:
    using Limits = CheckLimits;

    explicit CheckRun(CheckSession& session);
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
    bool storeGuarded(ParcelOutcome& outcome, ParcelOutcome::Result result, const QString& statusAfter,
                      const std::function<bool(ParcelStore&)>& statement);
    void tell(const ParcelOutcome& outcome);
    void keepUnreadable(ParcelOutcome& outcome, const TrackingAnswer& answer);
    void siteDidNotAnswer();
    void sourceFailed(const QString& message, const QString* number);
    void resultsFinalIfStored();
    void finish();

    CheckSession& m_session;
    TrackingSource& m_source;
    EventWait m_wait;
    std::vector<Parcel> m_parcels;
    bool m_storedAny = false;
    CheckOutcome m_outcome;
};
