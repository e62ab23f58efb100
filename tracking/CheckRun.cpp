#include "tracking/CheckRun.h"

#include "store/DatabaseErrorText.h"
#include "store/FloatText.h"
#include "store/ParcelStore.h"
#include "tracking/CheckSession.h"
#include "tracking/CheckWords.h"
#include "tracking/ReachabilityProbe.h"

#include <QDateTime>
#include <QDeadlineTimer>

namespace {

// Milliseconds of the monotonic clock, which counts from system start on this platform.
std::uint32_t systemTicks()
{
    return static_cast<std::uint32_t>(QDeadlineTimer::current(Qt::PreciseTimer).deadline());
}

// In place of what a parcel's answer would have changed, when its row was deleted meanwhile.
QString noLongerListedLine()
{
    return QStringLiteral("- посылки больше нет в списке, ничего не записано");
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

CheckRun::CheckRun(CheckSession& session)
    : m_session(session), m_source(session.source()), m_wait([&session] { return session.store() == nullptr; })
{
}

CheckOutcome CheckRun::execute()
{
    // Every early end that is not named below is a stop.
    m_outcome = CheckOutcome{};
    m_outcome.end = CheckOutcome::End::Stopped;
    if (!stopped())
        walk();
    return m_outcome;
}

void CheckRun::walk()
{
    // The run walks its own copy of the rows, read once: whatever the window shows meanwhile.
    try {
        m_parcels = m_session.store()->parcels();
        // Archived parcels are out of the way: not asked about, not in the outcome.
        std::erase_if(m_parcels, [](const Parcel& parcel) { return parcel.archived; });
    } catch (const std::exception& error) {
        // Before anything else has happened: the general error report, as for any error that
        // leaves the menu's handler, worded by its cause like every other database failure.
        m_outcome.end = CheckOutcome::End::DatabaseUnreadable;
        m_outcome.cause = QString::fromUtf8(error.what());
        emit m_session.errorReport(reportedMessage(error));
        return;
    }
    for (const Parcel& parcel : m_parcels)
        m_outcome.parcels.push_back(outcomeOf(parcel));
    if (m_parcels.empty()) {
        finish();
        return;
    }

    emit m_session.progress(QStringLiteral(" Проверка интернета..."));
    emit m_session.statusLabel(QStringLiteral("Статус: Проверка интернета"));
    if (!pause(m_session.limits().pauseBeforeProbeMs))
        return;

    const bool reachable =
        ReachabilityProbe(m_source.probeHost(), m_source.probePort(), m_session.limits().probeTimeoutMs).isReachable();
    EventWait::handlePending();
    if (stopped())
        return;
    if (!reachable) {
        m_outcome.end = CheckOutcome::End::SiteUnreachable;
        emit m_session.progress(QStringLiteral(" Сайт БелПочты не доступен"));
        emit m_session.statusLabel(QStringLiteral("Статус: Сайт Белпочты не доступен, зайдите позже!"));
        return;
    }
    emit m_session.progress(QStringLiteral(" Сайт БелПочты доступен"));
    emit m_session.statusLabel(QStringLiteral("Статус: Сайт Белпочты доступен"));

    const CheckSession::TickSource ticks = m_session.tickSource() ? m_session.tickSource() : systemTicks;
    const std::uint32_t startTicks = ticks();
    emit m_session.statusLabel(QStringLiteral("Статус: Получение данных... ждите"));
    emit m_session.askingStarted();

    bool prepareFirst = true;
    for (std::size_t row = 0; row < m_parcels.size(); ++row) {
        if (!check(row, prepareFirst))
            return;
    }

    const std::uint32_t elapsedMs = ticks() - startTicks;
    emit m_session.progress(QStringLiteral(" Время работы (сек) ")
                            + floatText(static_cast<double>(elapsedMs) / 1000.0));
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
        emit m_session.progress(QStringLiteral("- посылка №") + parcel.number);
        const TrackingAnswer answer =
            m_source.ask(parcel.number, [this] { emit m_session.progress(QStringLiteral("- отправка данных")); });
        if (stopped())
            return false;

        switch (answer.kind) {
        case TrackingAnswer::Kind::NoAnswer:
            outcome.result = ParcelOutcome::Result::NoAnswer;
            tell(outcome);
            emit m_session.progress(QStringLiteral("- нет ответа по номеру"));
            prepareFirst = true;
            return true;
        case TrackingAnswer::Kind::NothingFound:
            if (!storeGuarded(
                    outcome, ParcelOutcome::Result::NothingFound, ParcelStore::noInformationText(),
                    [&parcel](ParcelStore& store) { return store.storeNoInformation(ParcelStore::rowId(parcel)); }))
                return false;
            emit m_session.progress(QStringLiteral("- получение данных"));
            emit m_session.progress(outcome.result == ParcelOutcome::Result::NoLongerListed
                                        ? noLongerListedLine()
                                        : QStringLiteral("- нет данных по номеру"));
            return true;
        case TrackingAnswer::Kind::Unreadable:
            emit m_session.progress(QStringLiteral("- получение данных"));
            outcome.result = ParcelOutcome::Result::Unreadable;
            keepUnreadable(outcome, answer);
            tell(outcome);
            emit m_session.progress(QStringLiteral("- ответ сайта не удалось прочитать, данные не изменены"));
            emit m_session.progress(outcome.savedCopy.isEmpty()
                                        ? QStringLiteral("- копию ответа сохранить не удалось (%1)").arg(outcome.cause)
                                        : QStringLiteral("- ответ сохранён в файле ") + outcome.savedCopy);
            return true;
        case TrackingAnswer::Kind::Refused:
            emit m_session.progress(QStringLiteral("- получение данных"));
            outcome.result = ParcelOutcome::Result::Refused;
            outcome.cause = answer.message;
            tell(outcome);
            emit m_session.progress(QStringLiteral("- служба не приняла запрос: ") + answer.message);
            return true;
        case TrackingAnswer::Kind::Found:
            emit m_session.progress(QStringLiteral("- получение данных"));
            if (!storeGuarded(outcome, ParcelOutcome::Result::Stored, answer.status, [&](ParcelStore& store) {
                    return store.storeCheckResult(ParcelStore::rowId(parcel), answer.status, answer.firstDate,
                                                  answer.history);
                }))
                return false;
            if (outcome.result == ParcelOutcome::Result::NoLongerListed)
                emit m_session.progress(noLongerListedLine());
            return true;
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
        m_outcome.stopReason = error.stopReason();
        if (inParcel) {
            outcome.result = ParcelOutcome::Result::PageError;
            outcome.cause = m_outcome.cause;
        }
        // One sentence to act on, then the technical detail.
        sourceFailed(error.sentence() + QStringLiteral(" (") + m_outcome.cause + QStringLiteral(")."),
                     inParcel ? &parcel.number : nullptr);
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
        sourceFailed(m_outcome.cause, inParcel ? &parcel.number : nullptr);
        return false;
    }
}

bool CheckRun::stopped() const
{
    return m_session.store() == nullptr;
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

void CheckRun::tell(const ParcelOutcome& outcome)
{
    emit m_session.parcelChecked(outcome);
}

// Runs `statement` and notes in `outcome` what came of it: `result` and `statusAfter` once
// stored, NoLongerListed when the statement found no row of that id (deleted since the snapshot,
// by the window, another program or the file itself), the failure and its cause when the store
// refused. False when the run is to end.
bool CheckRun::storeGuarded(ParcelOutcome& outcome, ParcelOutcome::Result result, const QString& statusAfter,
                            const std::function<bool(ParcelStore&)>& statement)
{
    ParcelStore* store = m_session.store();
    if (store == nullptr)
        return false;
    QString failure;
    try {
        if (!statement(*store)) {
            // Nothing was written and nothing is to be told as new: the row is gone.
            outcome.result = ParcelOutcome::Result::NoLongerListed;
            tell(outcome);
            return true;
        }
        m_storedAny = true;
        outcome.result = result;
        outcome.statusAfter = statusAfter;
        tell(outcome);
        return true;
    } catch (const std::exception& error) {
        // The row keeps its values; the box says so and the run goes on.
        failure = QString::fromUtf8(error.what());
    } catch (...) {
        failure = QStringLiteral("unknown error");
    }
    outcome.result = ParcelOutcome::Result::StoreFailed;
    outcome.cause = failure;
    emit m_session.errorBox(QStringLiteral("Ошибка №7 - Во время добавление данных возникла ошибка"), failure);
    if (stopped())
        return false;
    emit m_session.statusLabel(QStringLiteral("Статус: Ошибка, попробуйте позже."));
    tell(outcome);
    return true;
}

void CheckRun::siteDidNotAnswer()
{
    m_outcome.end = CheckOutcome::End::SiteDidNotAnswer;
    emit m_session.progress(QStringLiteral(" Сайт БелПочты не ответил"));
    resultsFinalIfStored();
    emit m_session.statusLabel(QStringLiteral("Статус: Сайт Белпочты не ответил, зайдите позже!"));
}

void CheckRun::sourceFailed(const QString& message, const QString* number)
{
    m_outcome.end = CheckOutcome::End::PageFailed;
    emit m_session.errorReport(message);
    if (stopped()) {
        m_outcome.end = CheckOutcome::End::Stopped;
        return;
    }
    if (number != nullptr)
        emit m_session.progress(QStringLiteral("- ошибка при проверке посылки №") + *number);
    else
        emit m_session.progress(QStringLiteral(" Ошибка при загрузке сайта БелПочты"));
    resultsFinalIfStored();
    emit m_session.statusLabel(QStringLiteral("Статус: Ошибка, попробуйте позже."));
}

// A run that ends early has still stored what it stored: the grid shows it.
void CheckRun::resultsFinalIfStored()
{
    if (m_storedAny)
        emit m_session.resultsFinal();
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
    copy.why = answer.message;
    copy.received = answer.received;
    copy.at = QDateTime::currentDateTime();
    QString error;
    outcome.savedCopy = m_session.unreadableCopies().save(copy, &error);
    if (outcome.savedCopy.isEmpty())
        outcome.cause = error;
}

void CheckRun::finish()
{
    m_outcome.end = CheckOutcome::End::WentThrough;
    emit m_session.resultsFinal();
    // A run whose answers could not all be read is no success, and never looks like one.
    const int unreadable = m_outcome.count(ParcelOutcome::Result::Unreadable);
    if (unreadable > 0) {
        const QString sentence = checkwords::unreadableSentence(unreadable, std::ssize(m_outcome.parcels));
        emit m_session.progress(QStringLiteral(" ") + sentence);
        emit m_session.statusLabel(QStringLiteral("Статус: ") + sentence);
        return;
    }
    emit m_session.statusLabel(QStringLiteral("Статус: ok"));
}
