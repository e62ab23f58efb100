#include "app/ParcelListController.h"

#include "app/DatabaseWatch.h"
#include "app/HandlerGuard.h"
#include "app/Prompts.h"
#include "parcels/ParcelGrid.h"
#include "parcels/VisibleText.h"
#include "store/DatabaseErrorText.h"
#include "store/ParcelStore.h"
#include "tracking/RunLock.h"

#include <QApplication>
#include <QPlainTextEdit>

#include <utility>

namespace {

// The history text keeps its CR LF line breaks; the view shows one line per event.
QString historyForView(const QString& history)
{
    QString text = visibleText(history);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text + QLatin1Char('\n');
}

} // namespace

ParcelListController::ParcelListController(const MainFormOptions& options, Prompts& prompts, const HandlerGuard& guard,
                                           Views views, QObject* parent)
    : QObject(parent), m_options(options), m_prompts(prompts), m_guard(guard), m_views(std::move(views))
{
    // A row the find field selected shows its history (none when every row is hidden), but only
    // a row the user selects counts as seen.
    connect(m_views.grid, &ParcelGrid::shownParcelReplaced, this, [this] { showSelectedHistory(); });
}

ParcelListController::~ParcelListController() = default;

QDateTime ParcelListController::now() const
{
    return m_options.now ? m_options.now() : QDateTime::currentDateTime();
}

// ---------------------------------------------------------------------------------------------
// Opening and closing

bool ParcelListController::open()
{
    bool opened = true;
    m_guard.run([this, &opened] {
        m_store = std::make_unique<ParcelStore>();
        // While a check run of another process of ours holds the database (`kurierix --check`
        // from the timer), a statement that meets its lock waits for it; another program's lock
        // fails at once.
        const auto ourRun = [lock = RunLock::pathFor(m_options.databasePath)] {
            return RunLock::heldByAnotherProcess(lock);
        };
        switch (m_store->open(m_options.databasePath, ParcelStore::Role::Window, ourRun)) {
        case ParcelStore::OpenResult::OpenFailed:
            m_prompts.showError(QStringLiteral("Ошибка №2 - Откытия базы данных"));
            opened = false;
            return;
        case ParcelStore::OpenResult::CreateFailed:
            m_prompts.showError(QStringLiteral("Ошибка №1 - Ошибка создание новой базы данных"));
            break;
        default:
            break;
        }
        // Before anything can change a status, so that every status stored now counts as seen.
        if (m_store->isOpen())
            m_seenTable = m_store->prepareSeen();
        m_databaseWatch = new DatabaseWatch(
            QString::fromStdString(m_options.databasePath), [this] { noticeOtherWriters(); }, this);
        refresh();
    });
    return opened;
}

void ParcelListController::close()
{
    m_guard.run([this] {
        m_closed = true;
        if (m_store) {
            m_store->close();
            m_store.reset();
        }
    });
}

// ---------------------------------------------------------------------------------------------
// The grid and the history

void ParcelListController::refresh()
{
    m_guard.run([this] {
        if (m_closed)
            return;
        const std::optional<std::int64_t> added = std::exchange(m_addedParcelId, std::nullopt);
        QString cause;
        if (reloadGrid(&cause) != GridReload::Done)
            m_prompts.showError(QStringLiteral("Ошибка - Во время обновление данных"), cause);
        // The parcel just added is selected and comes into view with its history, even when the
        // find field held a text it does not match.
        if (added && m_views.grid->reveal(*added)) {
            m_views.grid->selectParcels({*added});
            m_views.grid->scrollToCurrent();
            showSelectedHistory();
        }
    });
}

void ParcelListController::refreshRevealing(std::int64_t addedId)
{
    m_addedParcelId = addedId;
    refresh();
}

ParcelListController::GridReload ParcelListController::reloadGrid(QString* cause)
{
    if (!m_store)
        return GridReload::Failed;
    std::vector<Parcel> parcels;
    QString fieldFailure;
    std::optional<std::int64_t> version;
    try {
        // A file that was locked at start-up gets its table of seen statuses now.
        if (m_seenTable == SeenStatuses::Preparation::Busy)
            m_seenTable = m_store->prepareSeen();
        // Taken before the list: a commit in between is noticed once more, never missed.
        version = m_store->database().dataVersion();
    } catch (...) {
    }
    try {
        parcels = m_store->parcels(&fieldFailure);
    } catch (...) {
        if (cause)
            *cause = currentDatabaseErrorText();
        emit reloaded();
        return GridReload::Failed;
    }
    m_gridDataVersion = version;
    if (!m_showArchived)
        std::erase_if(parcels, [](const Parcel& parcel) { return parcel.archived; });
    m_lastReadEmpty = parcels.empty();
    GridReload outcome = GridReload::Done;
    try {
        m_views.grid->fill(std::move(parcels), now(), m_options.locale, fieldFailure);
    } catch (...) {
        if (cause)
            *cause = currentDatabaseErrorText();
        outcome = GridReload::Partial;
    }
    showChangedRows();
    showSelectedHistory();
    emit reloaded();
    return outcome;
}

void ParcelListController::showChangedRows()
{
    // Without the table (a read-only or foreign file) nothing counts as changed.
    const auto changed = m_store->changedParcels();
    // Rows the find field hides too, so that they are right when it lets them through.
    m_views.grid->setBoldWhere(
        [&changed](const Parcel& parcel) { return changed && parcel.id && changed->count(*parcel.id) > 0; });
}

void ParcelListController::setShowArchived(bool shown)
{
    if (std::exchange(m_showArchived, shown) != shown)
        refresh();
}

void ParcelListController::showSelectedHistory()
{
    // The list holds no histories: the shown row's is read on its own. Only the user's own click
    // marks it seen. An unchanged text is left alone, with whatever the user selected in it; a
    // history that cannot be read now (the row gone, the file locked) shows none until the next
    // refresh or click.
    const std::optional<Parcel> shown = m_views.grid->currentParcel();
    std::optional<Parcel> read;
    if (shown && shown->id && m_store && m_store->isOpen()) {
        try {
            read = m_store->parcel(*shown->id);
        } catch (...) {
        }
    }
    const QString text = read ? historyForView(read->history) : QString();
    if (m_views.history->toPlainText() != text)
        m_views.history->setPlainText(text);
}

bool ParcelListController::windowFree() const
{
    return !m_views.checkRunning() && !m_closed && !QApplication::activeModalWidget()
           && !QApplication::activePopupWidget();
}

void ParcelListController::noticeOtherWriters()
{
    m_guard.run([this] {
        if (m_closed || !m_store || !m_store->isOpen())
            return;
        if (!windowFree()) {
            m_databaseWatch->lookLater();
            return;
        }
        try {
            if (m_gridDataVersion && m_store->database().dataVersion() == *m_gridDataVersion)
                return;
        } catch (...) {
            // Unknown: reload, which meets the same lock and is then tried again.
        }
        if (reloadGrid() == GridReload::Failed && m_store && m_store->database().lockedByOther())
            m_databaseWatch->lookLater();
    });
}

void ParcelListController::showHistory()
{
    m_guard.run([this] {
        if (commandsRefused() || !m_store)
            return;
        if (m_lastReadEmpty)
            return;
        const std::int64_t id = ParcelStore::rowId(m_views.grid->currentParcel().value_or(Parcel()));
        const std::optional<Parcel> parcel = m_store->parcel(id);
        m_lastReadEmpty = !parcel;
        m_views.history->clear();
        // Deleted by another window or program since the grid was filled. Clicks stay quiet
        // until a read finds parcels again (the next refresh).
        if (!parcel)
            throw ParcelStore::historyOfMissingParcel();
        m_views.history->setPlainText(historyForView(parcel->history));
        // Its history is in view: the status just read is the one its user has now seen. A row
        // that stays bold because this could not be written is marked at the next click.
        if (m_views.grid->isBold(id) && m_store->markSeen(id, parcel->status))
            m_views.grid->setBold(id, false);
    });
}

void ParcelListController::lookSoon()
{
    if (m_databaseWatch)
        m_databaseWatch->lookSoon();
}
