#pragma once

#include "tracking/CheckOutcome.h"
#include "tracking/Endpoints.h"
#include "tracking/EventWait.h"
#include "tracking/TrackingPage.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <string>

class CheckRunContext;
class CheckRunHost;
class ParcelStore;

// The check run over every parcel: the body of `Button_CheckClick`.
// Runs synchronously on the UI thread and keeps the window alive by handling events while it
// waits. It works on what its context gives it (the store, the page, the stop); the host only
// hears of its progress. What it did, parcel by parcel, is its outcome.
class CheckRun
{
public:
    // How long the run waits on the outside world. The defaults are the program's own;
    // tests shorten them so that a page that never answers does not cost half a minute.
    struct Limits
    {
        int pauseBeforeProbeMs = 100;
        int probeTimeoutMs = 3000;
        int pageLoadMs = 30000; // the tracking page must be complete within this
        int searchMs = 30000;   // one number's answer must replace the loading text within this
        // The longest time between two looks at the page while it tells of no change: what a
        // change notification that never comes costs at most.
        int fallbackLookMs = 500;
    };
    // A millisecond tick count that wraps at 2^32, as the elapsed time is measured.
    using TickSource = std::function<std::uint32_t()>;

    CheckRun(CheckRunContext& context, CheckRunHost& host, Endpoints endpoints);
    CheckRun(const CheckRun&) = delete;
    CheckRun& operator=(const CheckRun&) = delete;
    void setLimits(const Limits& limits);
    void setTickSource(TickSource ticks);

    void execute();
    const CheckOutcome& outcome() const { return m_outcome; }

private:
    enum class Wait { Ready, TimedOut, Stopped };
    enum class Answer { NothingFound, Found, NoAnswer, Stopped };

    bool stopped() const;
    bool pause(int ms);
    bool awaitChange(const TrackingPage& page, QDeadlineTimer deadline);
    Wait loadPage(TrackingPage& page);
    Wait waitForAnswer(TrackingPage& page, TrackingPage::Look& look);
    // Searches `number` on the page; gives the page HTML when something was found.
    Answer askPage(TrackingPage& page, const std::string& number, std::string& html);
    bool storeGuarded(ParcelOutcome& parcel, ParcelOutcome::Result result, const std::string& statusAfter,
                      const std::function<bool(ParcelStore&)>& statement);
    void siteDidNotAnswer();
    void pageFailed(const std::exception& error, const std::string* number);
    void refreshIfStored();
    void finish();
    // The parcel the run is at, in the outcome.
    ParcelOutcome& parcel(std::int32_t row) { return m_outcome.parcels[static_cast<std::size_t>(row)]; }

    CheckRunContext& m_context;
    CheckRunHost& m_host;
    Endpoints m_endpoints;
    Limits m_limits;
    TickSource m_ticks;
    EventWait m_wait;
    bool m_storedAny = false;
    CheckOutcome m_outcome;
};
