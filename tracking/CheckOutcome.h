#pragma once

#include "tracking/RunLock.h"
#include "tracking/TrackingSource.h"

#include <QMetaType>
#include <QString>

#include <vector>

// What one check run did with one parcel.
struct ParcelOutcome
{
    enum class Result {
        NotReached,     // the run ended before it came to this parcel
        Stored,         // the page's answer was stored
        NothingFound,   // the site knows nothing of the number: "Пока, нет информации!" was stored
        NoAnswer,       // no answer within the bound; the row was left as it was
        Unreadable,     // an answer without a readable event table; the row was left as it was
        Refused,        // the site turned the question down in its own words; the row was left as it was
        StoreFailed,    // the statement failed (the error box); the row was left as it was
        NoLongerListed, // the row was deleted after the run read it: nothing was written
        PageError,      // the page failed while this parcel was asked about; the run ended there
    };

    QString id; // as the file holds it
    QString number;
    QString shop;
    QString title;
    Result result = Result::NotReached;
    QString statusBefore; // NULL reads as empty
    QString statusAfter;  // what the row holds after the run
    QString cause;        // StoreFailed, PageError: the technical reason; Refused: the site's words
    QString savedCopy;    // Unreadable: the file that keeps the answer (empty when none could be written)

    // Whether the stored status is now another than before the run. Only a statement that
    // wrote a row can have changed one.
    bool statusChanged() const
    {
        return (result == Result::Stored || result == Result::NothingFound) && statusAfter != statusBefore;
    }
};

// What one check run did, parcel by parcel, and how it ended.
struct CheckOutcome
{
    enum class End {
        WentThrough,        // every parcel was asked about (an empty table too)
        SiteUnreachable,    // the reachability probe failed: nothing was asked
        SiteDidNotAnswer,   // the tracking page did not load within its bound
        PageFailed,         // the page (or the browser) failed; the run ended there
        Stopped,            // stopped from outside (the window closed, a signal)
        DatabaseUnreadable, // the parcels could not be read
        LockHeld,           // another check run holds the database: nothing was done
        LockUnavailable,    // the run lock cannot be had here: nothing was done (`lockProblem`)
        AlreadyRunning,     // this session runs a check already: nothing was done
    };

    End end = End::WentThrough;
    std::vector<ParcelOutcome> parcels;          // in row order, every parcel of the snapshot
    QString cause;                               // anything but WentThrough: the technical reason, if any
    SourceFailure failure = SourceFailure::None; // PageFailed: why the source ended the run, if it said
    RunLock::Problem lockProblem;                // LockUnavailable: why

    int count(ParcelOutcome::Result result) const
    {
        int found = 0;
        for (const ParcelOutcome& parcel : parcels)
            found += parcel.result == result ? 1 : 0;
        return found;
    }

    std::vector<ParcelOutcome> changed() const
    {
        std::vector<ParcelOutcome> found;
        for (const ParcelOutcome& parcel : parcels) {
            if (parcel.statusChanged())
                found.push_back(parcel);
        }
        return found;
    }
};

Q_DECLARE_METATYPE(ParcelOutcome)
Q_DECLARE_METATYPE(CheckOutcome)
