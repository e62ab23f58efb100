#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

// An error of the page automation: a missing element, a failed load, the browser gone.
// The message is the technical detail, Windows-1251 text; the kind says what the user is told.
class EPageError : public std::runtime_error
{
public:
    enum class Kind {
        NotLoaded,     // the page could not be loaded: no connection, refused, dropped, a bad address
        ErrorAnswer,   // the site answered the page request with an error status
        PageChanged,   // the page lacks an element the check needs, or answers in a way it cannot use
        NoAnswer,      // the page did not answer within its bound (a script that never returns)
        BrowserFailed, // the browser component stopped or could not be started
        NotInstalled,  // the browser component (a module of its own) could not be loaded
        NotPackaged,   // no browser component where the install puts it: its package is missing
        Stopped,       // the check was asked to stop while the page was awaited
    };

    EPageError(Kind kind, const std::string& message) : std::runtime_error(message), m_kind(kind) {}
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

// The tracking page as the check run drives it: loaded once per run, then per parcel
// select international tracking, enter the number, start the search and read the answer.
// All texts are Windows-1251 bytes. Each operation is synchronous to its caller and keeps
// the event loop running while it waits; each raises EPageError when it cannot be done.
class TrackingPage
{
public:
    virtual ~TrackingPage() = default;

    // Starts loading `url`; from then on the page shows no dialogs of its own.
    virtual void loadPage(const std::string& url) = 0;
    // 0 before any page, 1 while a load is under way, then the document's state (4 complete).
    virtual int readyState() = 0;
    // Clicks the radio input "internal-2" (international and EMS items).
    virtual void selectInternationalTracking() = 0;
    // Puts `number` into the input "item" exactly as given.
    virtual void enterNumber(const std::string& number) = 0;
    // Clicks the last `input` element of the document.
    virtual void startSearch() = 0;
    // The text content of the whole page.
    virtual std::string readPageText() = 0;
    // The HTML of the whole page as the old browser control wrote it.
    virtual std::string readPageHtml() = 0;

    // What one look at the page gives: its text and, when the look could take it in the same
    // round trip, its HTML.
    struct Look
    {
        std::string text;
        std::optional<std::string> html;
    };

    // The combined operations do in one step what the single ones do one after another, with
    // nothing else in between; a page that can do them in one round trip overrides them.
    //
    // Selects international tracking, then enters `number`.
    virtual void selectAndEnterNumber(const std::string& number)
    {
        selectInternationalTracking();
        enterNumber(number);
    }
    // Reads the page text and, unless it contains `htmlUnless` (the loading text: a page still
    // waiting for its answer has no HTML worth reading), the HTML as of the same moment. The
    // HTML may be left out; the caller then reads it on its own.
    virtual Look readPage(const std::string& htmlUnless)
    {
        (void)htmlUnless;
        return {readPageText(), std::nullopt};
    }
    // Starts the search and reads the page at once, as readPage does.
    virtual Look startSearchAndReadPage(const std::string& htmlUnless)
    {
        startSearch();
        return readPage(htmlUnless);
    }

    // True when the page has told of a change (of its content or its load) that no look at it
    // (ready state, page text) has seen yet: the time to look again. Only says when to look, never what is there. A
    // page that tells nothing always gives false, and its caller looks on a slow schedule.
    virtual bool hasUnseenChange() const { return false; }

    // While `stopRequested` holds, an operation that waits for the page ends at once and raises
    // EPageError (Stopped). Empty: nothing stops them. A page whose operations never wait may
    // ignore it.
    virtual void setStopCondition(std::function<bool()> stopRequested) { (void)stopRequested; }
};
