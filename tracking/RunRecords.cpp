#include "tracking/RunRecords.h"

#include "store/Cp1251.h"
#include "store/ParcelStore.h"
#include "tracking/CheckSession.h"
#include "tracking/ExitStatus.h"

#include <algorithm>
#include <utility>

namespace runrecords {

namespace {

// The site answered for it, whatever became of the answer.
bool gotAnswer(const ParcelOutcome& parcel)
{
    using Result = ParcelOutcome::Result;
    return parcel.result != Result::NotReached && parcel.result != Result::NoAnswer
           && parcel.result != Result::PageError;
}

} // namespace

RunRecord::Ending endingOf(const CheckOutcome& outcome)
{
    using Ending = RunRecord::Ending;
    const auto& parcels = outcome.parcels;
    if (outcome.end == CheckOutcome::End::LockUnavailable)
        return Ending::LockUnavailable;
    if (outcome.end == CheckOutcome::End::DatabaseUnreadable)
        return Ending::DatabaseUnreadable;
    if (outcome.count(ParcelOutcome::Result::StoreFailed) > 0)
        return Ending::StoreFailed;
    if (outcome.end == CheckOutcome::End::SiteUnreachable
        || (!parcels.empty() && std::none_of(parcels.begin(), parcels.end(), gotAnswer)))
        return Ending::NoAnswer;
    const bool unreadable = outcome.count(ParcelOutcome::Result::Unreadable) > 0;
    if (outcome.end != CheckOutcome::End::WentThrough)
        return unreadable ? Ending::Unreadable : Ending::Interrupted;
    return unreadable ? Ending::Unreadable : Ending::WentThrough;
}

int exitStatusOf(RunRecord::Ending ending)
{
    switch (ending) {
    case RunRecord::Ending::WentThrough:
        return ExitStatus::Ok;
    case RunRecord::Ending::NoAnswer:
    case RunRecord::Ending::Interrupted:
        return ExitStatus::SiteUnreachable;
    case RunRecord::Ending::StoreFailed:
        return ExitStatus::StoreFailed;
    case RunRecord::Ending::Unreadable:
        return ExitStatus::UnreadableAnswer;
    case RunRecord::Ending::DatabaseUnreadable:
        return ExitStatus::DatabaseUnreadable;
    case RunRecord::Ending::LockUnavailable:
        return ExitStatus::LockUnavailable;
    }
    return ExitStatus::Ok;
}

bool worthRecording(const CheckOutcome& outcome)
{
    switch (outcome.end) {
    case CheckOutcome::End::LockHeld:
    case CheckOutcome::End::AlreadyRunning:
    case CheckOutcome::End::Stopped:
        return false;
    default:
        return true;
    }
}

RunRecord recordOf(const CheckOutcome& outcome, RunRecord::Origin origin, const QString& road, const QDateTime& started,
                   const QDateTime& ended, std::optional<int> exitStatus)
{
    using Result = ParcelOutcome::Result;
    RunRecord run;
    run.started = started.toUTC();
    run.ended = ended.toUTC();
    run.road = road;
    run.origin = origin;
    run.asked = int(outcome.parcels.size()) - outcome.count(Result::NotReached);
    run.stored = outcome.count(Result::Stored);
    run.changed = int(outcome.changed().size());
    run.nothingFound = outcome.count(Result::NothingFound);
    run.noAnswer = outcome.count(Result::NoAnswer);
    run.unreadable = outcome.count(Result::Unreadable);
    run.storeFailed = outcome.count(Result::StoreFailed);
    run.ending = endingOf(outcome);
    run.exitStatus = exitStatus.value_or(exitStatusOf(run.ending));
    return run;
}

bool write(ParcelStore& store, const RunRecord& run, QString* cause) noexcept
{
    try {
        store.recordRun(run);
        return true;
    } catch (const std::exception& e) {
        if (cause)
            *cause = fromCp1251(e.what());
        return false;
    } catch (...) {
        return false;
    }
}

} // namespace runrecords

RunRecorder::RunRecorder(CheckSession& session, RunRecord::Origin origin, Clock clock)
    : m_session(session), m_origin(origin), m_clock(std::move(clock))
{
    m_startedConnection = QObject::connect(&session, &CheckSession::started, [this] { m_started = now(); });
    session.setRecorder([this, &session](ParcelStore& store, const CheckOutcome& outcome) {
        // A run refused for want of a lock never started.
        const QDateTime ended = now();
        const QDateTime started = std::exchange(m_started, std::nullopt).value_or(ended);
        Recorded recorded;
        recorded.run = runrecords::recordOf(outcome, m_origin, session.source().roadName(), started, ended);
        recorded.stored = runrecords::write(store, recorded.run, &recorded.failure);
        m_last = std::move(recorded);
    });
}

RunRecorder::~RunRecorder()
{
    QObject::disconnect(m_startedConnection);
    m_session.setRecorder({});
}

QDateTime RunRecorder::now() const
{
    return m_clock ? m_clock() : QDateTime::currentDateTime();
}
