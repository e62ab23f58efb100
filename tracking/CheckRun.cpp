#include "tracking/CheckRun.h"

#include "store/DatabaseErrorText.h"
#include "store/ParcelStore.h"
#include "tracking/CheckWords.h"
#include "tracking/ReachabilityProbe.h"
#include "tracking/UnreadableCopies.h"

#include <QDateTime>
#include <QDeadlineTimer>

namespace {

// Milliseconds of the monotonic clock, which counts from system start on this platform.
std::uint32_t systemTicks()
{
    return static_cast<std::uint32_t>(QDeadlineTimer::current(Qt::PreciseTimer).deadline());
}

ParcelOutcome outcomeOf(const Parcel& parcel)
{
    ParcelOutcome outcome;
    outcome.id = parcel.idText;
    outcome.number = parcel.number;
    outcome.shop = parcel.shop;
    outcome.title = parcel.title;
    outcome.statusBefore = parcel.status;
    outcome.statusAfter = parcel.status;
    return outcome;
}

} // namespace

CheckRun::CheckRun(Parts parts)
    : m_parts(std::move(parts)), m_source(m_parts.source), m_wait([this] { return stopped(); })
{
}

CheckOutcome CheckRun::execute()
{
    // Every early end that is not named below is a stop.
    m_outcome = CheckOutcome{};
    m_outcome.end = CheckOutcome::End::Stopped;
    if (!stopped())
        walk();
    if (!stopped())
        ended();
    return m_outcome;
}

void CheckRun::walk()
{
    // The run walks its own copy of the rows, read once: whatever the window shows meanwhile.
    try {
        m_parcels = m_parts.store()->parcels();
        // Archived parcels are out of the way: not asked about, not in the outcome.
        std::erase_if(m_parcels, [](const Parcel& parcel) { return parcel.archived; });
    } catch (const std::exception& error) {
        // Before anything else has happened: the general error report, as for any error that
        // leaves the menu's handler, worded by its cause like every other database failure.
        m_outcome.end = CheckOutcome::End::DatabaseUnreadable;
        m_outcome.cause = QString::fromUtf8(error.what());
        CheckEvent event = CheckEvent::of(CheckEvent::Kind::DatabaseUnreadable);
        event.detail = reportedMessage(error);
        m_parts.tell(event);
        return;
    }
    for (const Parcel& parcel : m_parcels)
        m_outcome.parcels.push_back(outcomeOf(parcel));
    if (m_parcels.empty()) {
        finish();
        return;
    }

    tell(CheckEvent::Kind::Probing);
    if (!pause(m_parts.limits.pauseBeforeProbeMs))
        return;

    const bool reachable =
        ReachabilityProbe(m_source.probeHost(), m_source.probePort(), m_parts.limits.probeTimeoutMs).isReachable();
    EventWait::handlePending();
    if (stopped())
        return;
    if (!reachable) {
        m_outcome.end = CheckOutcome::End::SiteUnreachable;
        return;
    }
    tell(CheckEvent::Kind::SiteReachable);

    const std::function<std::uint32_t()> ticks = m_parts.ticks ? m_parts.ticks : systemTicks;
    const std::uint32_t startTicks = ticks();
    tell(CheckEvent::Kind::Asking);

    bool prepareFirst = true;
    for (std::size_t row = 0; row < m_parcels.size(); ++row) {
        if (!check(row, prepareFirst))
            return;
    }

    CheckEvent allAsked = CheckEvent::of(CheckEvent::Kind::AllAsked);
    allAsked.elapsedMs = ticks() - startTicks;
    m_parts.tell(allAsked);
    finish();
}

bool CheckRun::check(std::size_t row, bool& prepareFirst)
{
    const Parcel& parcel = m_parcels[row];
    ParcelOutcome& outcome = m_outcome.parcels[row];
    bool inParcel = false;
    try {
        if (prepareFirst) {
            // Once per run, and again after a number that got no answer: a late answer would be
            // taken for the next number's, and a page that stopped answering has been closed.
            m_source.prepare();
            if (stopped())
                return false;
            prepareFirst = false;
        }

        inParcel = true;
        tell(CheckEvent::Kind::ParcelAsked, outcome);
        const TrackingAnswer answer =
            m_source.ask(parcel.number, [&] { tell(CheckEvent::Kind::RequestSent, outcome); });
        if (stopped())
            return false;

        switch (answer.kind) {
        case TrackingAnswer::Kind::NoAnswer:
            outcome.result = ParcelOutcome::Result::NoAnswer;
            tell(CheckEvent::Kind::ParcelChecked, outcome, answer.kind);
            prepareFirst = true;
            return true;
        case TrackingAnswer::Kind::NothingFound:
            // Stored first, then told: the answer's lines follow the box of a failed statement.
            if (!storeGuarded(
                    outcome, answer.kind, ParcelOutcome::Result::NothingFound, ParcelStore::noInformationText(),
                    [&parcel](ParcelStore& store) { return store.storeNoInformation(ParcelStore::rowId(parcel)); }))
                return false;
            tell(CheckEvent::Kind::Answered, outcome, answer.kind);
            return true;
        case TrackingAnswer::Kind::Unreadable:
            tell(CheckEvent::Kind::Answered, outcome, answer.kind);
            outcome.result = ParcelOutcome::Result::Unreadable;
            keepUnreadable(outcome, answer);
            tell(CheckEvent::Kind::ParcelChecked, outcome, answer.kind);
            return true;
        case TrackingAnswer::Kind::Refused:
            tell(CheckEvent::Kind::Answered, outcome, answer.kind);
            outcome.result = ParcelOutcome::Result::Refused;
            outcome.cause = answer.message;
            tell(CheckEvent::Kind::ParcelChecked, outcome, answer.kind);
            return true;
        case TrackingAnswer::Kind::Found:
            tell(CheckEvent::Kind::Answered, outcome, answer.kind);
            return storeGuarded(outcome, answer.kind, ParcelOutcome::Result::Stored, answer.status,
                                [&](ParcelStore& store) {
                                    return store.storeCheckResult(ParcelStore::rowId(parcel), answer.status,
                                                                  answer.firstDate, answer.history);
                                });
        }
        return true;
    } catch (const TrackingSourceError& error) {
        if (stopped())
            return false;
        if (error.kind() == TrackingSourceError::Kind::DidNotAnswer) {
            if (inParcel)
                outcome.result = ParcelOutcome::Result::NoAnswer;
            siteDidNotAnswer();
            return false;
        }
        m_outcome.cause = error.detail();
        m_outcome.failure = error.failure();
        if (inParcel) {
            outcome.result = ParcelOutcome::Result::PageError;
            outcome.cause = m_outcome.cause;
        }
        sourceFailed(error.failure(), inParcel ? &outcome : nullptr);
        return false;
    } catch (const std::exception& error) {
        // Errors that are not the source's are reported as they are worded.
        if (stopped())
            return false;
        m_outcome.cause = QString::fromUtf8(error.what());
        if (inParcel) {
            outcome.result = ParcelOutcome::Result::PageError;
            outcome.cause = m_outcome.cause;
        }
        sourceFailed(SourceFailure::None, inParcel ? &outcome : nullptr);
        return false;
    }
}

bool CheckRun::stopped() const
{
    return m_parts.store() == nullptr;
}

// Handles events for `ms`, however many arrive meanwhile: the browser engine keeps the queue
// busy, so one wait for "the next event" would come back at once.
bool CheckRun::pause(int ms)
{
    const QDeadlineTimer deadline(ms, Qt::PreciseTimer);
    EventWait::Outcome outcome;
    do
        outcome = m_wait.sleep(deadline);
    while (outcome == EventWait::Outcome::Woken);
    return outcome != EventWait::Outcome::Stopped;
}

void CheckRun::tell(CheckEvent::Kind kind)
{
    m_parts.tell(CheckEvent::of(kind));
}

void CheckRun::tell(CheckEvent::Kind kind, const ParcelOutcome& outcome, TrackingAnswer::Kind answer)
{
    CheckEvent event = CheckEvent::about(kind, outcome);
    event.answer = answer;
    m_parts.tell(event);
}

// Runs `statement` and notes in `outcome` what came of it: `result` and `statusAfter` once
// stored, NoLongerListed when the statement found no row of that id (deleted since the snapshot,
// by the window, another program or the file itself), the failure and its cause when the store
// refused. False when the run is to end.
bool CheckRun::storeGuarded(ParcelOutcome& outcome, TrackingAnswer::Kind answer, ParcelOutcome::Result result,
                            const QString& statusAfter, const std::function<bool(ParcelStore&)>& statement)
{
    ParcelStore* store = m_parts.store();
    if (store == nullptr)
        return false;
    QString failure;
    try {
        if (!statement(*store)) {
            // Nothing was written and nothing is to be told as new: the row is gone.
            outcome.result = ParcelOutcome::Result::NoLongerListed;
            tell(CheckEvent::Kind::ParcelChecked, outcome, answer);
            return true;
        }
        m_storedAny = true;
        outcome.result = result;
        outcome.statusAfter = statusAfter;
        tell(CheckEvent::Kind::ParcelChecked, outcome, answer);
        return true;
    } catch (const std::exception& error) {
        // The row keeps its values; the box says so and the run goes on.
        failure = QString::fromUtf8(error.what());
    } catch (...) {
        failure = QStringLiteral("unknown error");
    }
    outcome.result = ParcelOutcome::Result::StoreFailed;
    outcome.cause = failure;
    // The box is modal: the window may have closed by the time it is.
    tell(CheckEvent::Kind::ParcelChecked, outcome, answer);
    return !stopped();
}

void CheckRun::siteDidNotAnswer()
{
    m_outcome.end = CheckOutcome::End::SiteDidNotAnswer;
    tell(CheckEvent::Kind::SiteDidNotAnswer);
    resultsFinalIfStored();
}

void CheckRun::sourceFailed(SourceFailure failure, const ParcelOutcome* parcel)
{
    m_outcome.end = CheckOutcome::End::PageFailed;
    CheckEvent event = CheckEvent::of(CheckEvent::Kind::SourceFailed);
    if (parcel != nullptr)
        event.parcel = *parcel;
    event.failure = failure;
    event.detail = m_outcome.cause;
    m_parts.tell(event);
    // The report is modal: the window may have closed by the time it is.
    if (stopped()) {
        m_outcome.end = CheckOutcome::End::Stopped;
        return;
    }
    resultsFinalIfStored();
}

// A run that ends early has still stored what it stored: the grid shows it.
void CheckRun::resultsFinalIfStored()
{
    if (m_storedAny)
        tell(CheckEvent::Kind::ResultsFinal);
}

// Keeps the answer whole for the user to send on; its file, or why there is none, goes with the
// parcel's outcome. The row itself is left as it was.
void CheckRun::keepUnreadable(ParcelOutcome& outcome, const TrackingAnswer& answer)
{
    UnreadableCopies::Copy copy;
    copy.number = outcome.number;
    copy.road = m_source.roadName();
    copy.address = m_source.address();
    copy.httpStatus = answer.httpStatus;
    copy.why = checkwords::unreadableDetail(answer.unreadableReason);
    copy.received = answer.received;
    copy.at = QDateTime::currentDateTime();
    QString error;
    outcome.savedCopy = m_parts.copies.save(copy, &error);
    if (outcome.savedCopy.isEmpty())
        outcome.cause = error;
}

void CheckRun::finish()
{
    m_outcome.end = CheckOutcome::End::WentThrough;
    tell(CheckEvent::Kind::ResultsFinal);
}

void CheckRun::ended()
{
    CheckEvent event = CheckEvent::of(CheckEvent::Kind::Ended);
    event.end = m_outcome.end;
    event.unreadable = m_outcome.count(ParcelOutcome::Result::Unreadable);
    event.parcels = int(m_outcome.parcels.size());
    m_parts.tell(event);
}
