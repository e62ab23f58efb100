#pragma once

#include <QList>
#include <QString>

#include <chrono>
#include <memory>

// A stand-in for the postal operator's tracking site, served over HTTP on 127.0.0.1 from a
// thread of its own. Its page ("/", Windows-1251) has the search form the check run drives:
// the radio inputs "internal-1" and "internal-2", the number field "item", the search button
// "Искать" as the last input, and the results block "results", which shows "Загрузка..." as
// soon as a search starts and then the answer the page fetches from "/answer".
//
// Answers come from a fixture file or are set by the caller; a number without an answer is
// not found. Faults can be switched on for the whole page or per number. Every member may be
// called from any thread.
class SiteDouble
{
public:
    struct Event
    {
        QString date; // as the site writes it, "2013-03-16 12:30:00"
        QString event;
        QString office;
    };

    // Faults of the page itself; they apply from the next load of "/".
    struct PageFaults
    {
        bool noLoadingText = false;      // a search shows nothing until its answer arrives
        bool noItemField = false;        // the number field is called "barcode" instead of "item"
        bool inputAfterButton = false;   // a checkbox follows the search button
        bool alertOnLoad = false;        // the page calls alert() while it loads
        bool loadNeverCompletes = false; // the page stops half-way until released or stopped
        bool closeConnection = false;    // the connection drops before the page is complete
        int httpStatus = 200;            // anything else answers with a short error page
        bool loopingScript = false;      // once an answer has arrived, the page's script never returns
        bool nulInCells = false;         // the page's script puts a NUL character into every event cell
        // Above 0: a search starts a worker that never rests and a beacon that requests "/beacon"
        // every this many ms, both for as long as the page lives.
        int busyAfterSearchMs = 0;
        // Above 0: a search sets the page's title, writes a console message, throws an error and
        // sets the address's fragment, each of this many characters.
        int hugeTextsChars = 0;
    };

    // Faults of the answers to searches, for every number or for one.
    struct AnswerFaults
    {
        std::chrono::milliseconds latency{0}; // the answer waits this long
        bool noAnswer = false;                // the answer waits until released or stopped
        bool closeConnection = false;         // the connection drops before the answer is complete
        bool markupInCells = false;           // event and office cells carry markup of their own
        int manyEvents = 0;                   // above 0: a found answer with this many events
        int paddingBytes = 0;                 // above 0: this much filler text follows the event table
        bool unclosedCells = false;           // cells, rows and the table lack their end tags
        bool rawCells = false;                // event and office go out unescaped, as markup
        bool transparentPlainRows = false;    // rows without the highlight: "background-color: transparent"
    };

    struct Search
    {
        QString number;
        QString kind; // "1" domestic, "2" international, empty when no kind was chosen
    };

    SiteDouble();
    ~SiteDouble();
    SiteDouble(const SiteDouble&) = delete;
    SiteDouble& operator=(const SiteDouble&) = delete;

    // Listens on 127.0.0.1, on `port` or, with 0, on a free port the system picks.
    bool start(quint16 port = 0);
    // Stops listening and lets every held request go; returns once the server thread is done.
    void stop();
    bool isRunning() const;
    quint16 port() const;
    // "http://127.0.0.1:<port>/", the tracking page address.
    QString url() const;

    // Reads answers from a JSON file (UTF-8) and adds them to those already set:
    //   { "latencyMs": 300,
    //     "answers": { "RR123456789CN": [ { "date": "2013-03-16 12:30:00",
    //                                       "event": "...", "office": "100614*" } ],
    //                  "RA000000000BY": null } }
    // Events are listed oldest first; null means not found; "latencyMs" (optional) delays
    // every answer; "latencyMsFor" (optional, { "number": ms }) delays the answers for one number. Returns false and
    // says why in `error` when the file is unusable.
    bool loadFixture(const QString& path, QString* error = nullptr);
    void setAnswer(const QString& number, const QList<Event>& events);
    void setNotFound(const QString& number);
    void clearAnswers();

    void setPageFaults(const PageFaults& faults);
    PageFaults pageFaults() const;
    // Faults of every answer without faults of its own.
    void setAnswerFaults(const AnswerFaults& faults);
    void setAnswerFaults(const QString& number, const AnswerFaults& faults);
    void clearFaults();
    // Lets every request held by noAnswer or loadNeverCompletes finish.
    void releaseStalled();

    // Searches received, counted when they arrive, whatever the answer.
    int searchCount(const QString& number) const;
    int totalSearches() const;
    QList<Search> searches() const;
    // Requests for "/" received.
    int pageRequests() const;
    // Requests for "/beacon" received.
    int beaconRequests() const;
    void resetCounters();

    // The page and the answer as they would be served now, as Windows-1251 bytes.
    QByteArray pageBytes() const;
    QByteArray answerBytes(const QString& number, const QString& kind) const;

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};
