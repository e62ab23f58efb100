#pragma once

#include "tracking/CheckLimits.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <stdexcept>
#include <string>
#include <utility>

// What in an answer could not be read, as the facts; CheckWords words them, in English, for the
// header of the answer's saved copy (whoever maintains the program reads it).
struct UnreadableReason
{
    enum class Kind {
        None,              // nothing said
        NoEventOnPage,     // the page shows no event at all
        RowsPassedOver,    // the pattern passes over rows of the page's event table
        TooLong,           // the answer is longer than `count` bytes
        NotJson,           // the JSON parser's words `text`, at byte `count`
        NotObject,         // the document is no JSON object
        DataNotList,       // "data" is no list
        OtherNumber,       // the one entry of "data" is for the number `text`
        NoEntryForNumber,  // none of the `count` entries of "data" is for the number asked
        StepsNotList,      // "steps" is no list
        StepNotObject,     // a step is no JSON object
        FieldNotText,      // a step's field `text` is not text
        PlaceIndexNeither, // a step's "place_index" is neither text nor a whole number
        CodeIsStructure,   // a step's "code" is an object or a list
        TimestampNotCount, // a step's "timestamp" is no count of seconds
        CreatedAtNotDate,  // a step's "created_at" (`text`) is no date and time
        TimeOutOfRange,    // a step's time lies outside the years 1970 to 9999
    };
    Kind kind = Kind::None;
    QString text;
    qint64 count = 0;
    qsizetype step = -1; // the step of "steps" it concerns; -1: none

    static UnreadableReason of(Kind kind, QString text = {}, qint64 count = 0)
    {
        return UnreadableReason{kind, std::move(text), count};
    }
};

// What a tracking source says of one number.
struct TrackingAnswer
{
    enum class Kind {
        Found,        // the events of the parcel: status, history and the first event's date
        NothingFound, // the site knows nothing of the number
        NoAnswer,     // no answer within the bound: the number is passed over
        Unreadable,   // an answer the program cannot read: the row is left as it is
        Refused,      // the site turned the question down and said why (`message`): the row is left
    };

    Kind kind = Kind::NothingFound;
    QString status;
    QString history; // one line per event, CR LF between them
    QString firstDate;

    // Unreadable: the answer as it came, for the user to send to whoever maintains the program,
    // and what in it could not be read.
    QByteArray received;
    int httpStatus = 0; // 0 where the road has none (the page)
    UnreadableReason unreadableReason;
    // Refused: the site's own words.
    QString message;

    static TrackingAnswer of(Kind kind)
    {
        TrackingAnswer answer;
        answer.kind = kind;
        return answer;
    }
    static TrackingAnswer unreadable(UnreadableReason why, QByteArray received = {}, int httpStatus = 0)
    {
        TrackingAnswer answer = of(Kind::Unreadable);
        answer.unreadableReason = std::move(why);
        answer.received = std::move(received);
        answer.httpStatus = httpStatus;
        return answer;
    }
};

// Something wrong that does not end a run, with the facts CheckWords words it from.
struct SourceProblem
{
    enum class Kind {
        None,
        CaFileUnreadable, // the certificates file `file` cannot be read (`cause`: the system's words)
        CaFileNotPem,     // the certificates file `file` holds no PEM certificate
    };
    Kind kind = Kind::None;
    QString file;
    QString cause;
};

// What a source tells beyond the run's own steps.
struct SourceNotice
{
    enum class Kind {
        Waiting, // the site asked for a pause of `seconds` before the next question
        Problem, // `problem`: something is wrong that does not end the run
    };
    Kind kind = Kind::Waiting;
    int seconds = 0;
    SourceProblem problem;
};

// Why a source ended a check run, for CheckWords to say to the user; the facts (the network's
// or the browser's own words) travel beside it as the error's detail.
enum class SourceFailure {
    None,                 // nothing the user is told beyond the detail
    SiteNotLoaded,        // the tracking page did not load
    SiteErrorAnswer,      // the site answered with an error page
    SitePageChanged,      // the page lacks a field the program needs
    SiteNoAnswer,         // the page did not answer in time
    BrowserFailed,        // the browser engine stopped working
    BrowserModuleMissing, // the browser module could not be loaded
    BrowserNotPackaged,   // the package with the browser module is not installed
    Stopped,              // the run was stopped
    ServiceModuleMissing, // the service module could not be loaded
    ServiceSilent,        // the service did not answer for three numbers in a row
    ServiceRedirected,    // the service redirected to another or an insecure address
    ServiceCertificate,   // the service's certificate did not hold
};

// What ends a check run on the source's side: why, and the technical detail as the source gave
// it (what() holds it in UTF-8).
class TrackingSourceError : public std::runtime_error
{
public:
    enum class Kind {
        DidNotAnswer, // the site did not answer at all: the run ends as when the page never loads
        Failed,       // the source failed; the user is told why and the detail
    };

    TrackingSourceError(Kind kind, SourceFailure failure, const QString& detail)
        : std::runtime_error(detail.toStdString()), m_kind(kind), m_failure(failure), m_detail(detail)
    {
    }
    Kind kind() const { return m_kind; }
    SourceFailure failure() const { return m_failure; }
    const QString& detail() const { return m_detail; }

private:
    Kind m_kind;
    SourceFailure m_failure;
    QString m_detail;
};

// Where a check run gets the answers for its parcels: the postal operator's page in the hidden
// browser, or any other road to the same answers. The run asks one number at a time, on the UI
// thread; every call is synchronous and keeps the event loop turning while it waits. Any call
// may raise TrackingSourceError, which ends the run; once the stop condition holds, a call
// returns (or raises) at once and the run looks at the stop before it uses what it got.
class TrackingSource
{
public:
    virtual ~TrackingSource() = default;

    // Where the reachability probe knocks before anything is asked.
    virtual std::string probeHost() const = 0;
    virtual int probePort() const = 0;
    // The road's name and the address it asks, as a saved unreadable answer names them.
    virtual QString roadName() const = 0;
    virtual QString address() const = 0;

    // The bounds of the source's own waits, and the stop that ends them.
    virtual void setLimits(const CheckLimits& limits) { (void)limits; }
    virtual void setStopCondition(std::function<bool()> stopRequested) = 0;
    // Where the source tells what it does beyond the run's own steps (a wait the site asked
    // for); empty: nowhere.
    virtual void setReporter(std::function<void(const SourceNotice& notice)> tell) { (void)tell; }

    // Makes the source ready to be asked: before the first number of a run, and again before the
    // number after one that got no answer (a late answer must not be taken for the next one's).
    virtual void prepare() = 0;
    // Asks for `number` as the row holds it. `sent` is called once the request has gone out,
    // before the wait for its answer.
    virtual TrackingAnswer ask(const QString& number, const std::function<void()>& sent) = 0;
    // The run is over, however it ended: nothing of it is to be left running.
    virtual void finishRun() {}
};
