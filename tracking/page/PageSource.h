#pragma once

#include "tracking/Endpoints.h"
#include "tracking/EventWait.h"
#include "tracking/page/TrackingPage.h"
#include "tracking/page/TrackingPageFactory.h"
#include "tracking/TrackingSource.h"

#include <memory>

// The postal operator's tracking page in the hidden browser as a tracking source: loaded once
// per run (and again after a number that got no answer), then per number select, enter, search
// and read the answer off the page. The page is made when a run first needs it and goes with
// the run's end: its scripts, timers and workers would otherwise go on in the background.
class PageSource : public TrackingSource
{
public:
    PageSource(TrackingPageFactory pageFactory, Endpoints endpoints);
    ~PageSource() override;
    PageSource(const PageSource&) = delete;
    PageSource& operator=(const PageSource&) = delete;

    std::string probeHost() const override { return m_endpoints.probeHost; }
    int probePort() const override { return m_endpoints.probePort; }
    QString roadName() const override { return QStringLiteral("page"); }
    QString address() const override { return QString::fromStdString(m_endpoints.trackingUrl); }
    void setLimits(const CheckLimits& limits) override { m_limits = limits; }
    void setStopCondition(std::function<bool()> stopRequested) override;

    void prepare() override;
    TrackingAnswer ask(const QString& number, const std::function<void()>& sent) override;
    void finishRun() override;

    // Why a page failure ends the run, for the user to be told.
    static SourceFailure failureOf(EPageError::Kind kind);

private:
    enum class Wait { Ready, TimedOut, Stopped };

    TrackingPage& page();
    bool stopped() const;
    bool awaitChange(QDeadlineTimer deadline);
    Wait loadPage();
    Wait waitForAnswer(TrackingPage::Look& look);
    TrackingAnswer askPage(const QString& number, const std::function<void()>& sent);

    TrackingPageFactory m_pageFactory;
    Endpoints m_endpoints;
    CheckLimits m_limits;
    std::function<bool()> m_stopRequested;
    EventWait m_wait;
    std::unique_ptr<TrackingPage> m_page;
};
