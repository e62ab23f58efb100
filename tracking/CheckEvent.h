#pragma once

#include "tracking/CheckOutcome.h"
#include "tracking/TrackingSource.h"

#include <QMetaType>
#include <QString>

#include <cstdint>

// What a check run tells as it goes: what happened, never how to say it. checkwords::words()
// says it for every host, the window and `kurierix --check` alike.
struct CheckEvent
{
    enum class Kind {
        Probing,            // the run looks whether the site can be reached
        SiteReachable,      // it can
        Asking,             // the parcels are being asked about: the rows are the run's from now
        ParcelAsked,        // `parcel` is about to be asked about
        RequestSent,        // its question has gone out
        Answered,           // an answer came (`answer`); NothingFound: told once it is stored
        ParcelChecked,      // what became of `parcel` (`answer`: what the site said)
        Waiting,            // the site asked the run to wait `seconds` before the next question
        SourceProblem,      // the source has a problem that does not end the run (`problem`)
        SiteDidNotAnswer,   // the site stopped answering; the run ends
        SourceFailed,       // the source failed (`failure`, `detail`); `parcel` (its id set) when one was asked
        DatabaseUnreadable, // the parcels could not be read: `detail` is the failure as reported
        AllAsked,           // every parcel was asked about, in `elapsedMs`
        ResultsFinal,       // the run writes no more rows: the table as it is now is its result
        Ended,              // the run is over (`end`, `unreadable` of `parcels`)
    };

    Kind kind = Kind::Probing;
    ParcelOutcome parcel;
    TrackingAnswer::Kind answer = TrackingAnswer::Kind::NothingFound;
    SourceFailure failure = SourceFailure::None;
    SourceProblem problem;
    QString detail;
    int seconds = 0;
    std::uint32_t elapsedMs = 0;
    CheckOutcome::End end = CheckOutcome::End::WentThrough;
    int unreadable = 0;
    int parcels = 0;

    static CheckEvent of(Kind kind)
    {
        CheckEvent event;
        event.kind = kind;
        return event;
    }
    static CheckEvent about(Kind kind, const ParcelOutcome& parcel)
    {
        CheckEvent event = of(kind);
        event.parcel = parcel;
        return event;
    }
};

Q_DECLARE_METATYPE(CheckEvent)
