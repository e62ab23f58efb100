#include "app/ParcelListController.h"

#include "app/DatabaseWatch.h"
#include "app/HandlerGuard.h"
#include "app/Prompts.h"
#include "parcels/ParcelGrid.h"
#include "parcels/TFm_Track.h"
#include "parcels/VisibleText.h"
#include "store/DatabaseErrorText.h"
#include "store/ParcelStore.h"
#include "tracking/RunLock.h"

#include <QApplication>
#include <QPlainTextEdit>

#include <utility>

namespace {

// Boxes of the commands on a parcel that another window or program deleted meanwhile.
const QString kParcelGone =
    QStringLiteral("Этой посылки уже нет в списке: её удалили в другом окне или другой программой.");
const QString kParcelGoneOnSave =
    QStringLiteral("Этой посылки уже нет в списке: её удалили в другом окне или другой программой, поэтому "
                   "изменения не сохранены. Всё введённое осталось в окне.");
const QString kSomeParcelsGone =
    QStringLiteral("Не все выбранные посылки были в списке: часть из них удалили в другом окне или другой программой.");
const QString kNoParcelToEdit = QStringLiteral("В списке нет ни одной посылки: изменять нечего.");
const QString kChooseParcelToEdit =
    QStringLiteral("Список обновлён: выберите в нём посылку и снова откройте «Редактирова посылку».");

// The history text keeps its CR LF line breaks; the view shows one line per event.
QString historyForView(const QString& history)
{
    QString text = visibleText(history);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text + QLatin1Char('\n');
}

// The question before a delete names what goes: the one parcel's number, shop and contents, or
// the numbers of several.
QString deleteQuestion(const std::vector<Parcel>& parcels)
{
    const auto shown = [](const QString& text) { return visibleText(text).simplified(); };
    if (parcels.size() == 1) {
        const Parcel& parcel = parcels.front();
        QString text = QStringLiteral("Удалить выбранную запись?\n\nНомер посылки: ") + shown(parcel.number);
        if (!shown(parcel.shop).isEmpty())
            text += QStringLiteral("\nМагазин: ") + shown(parcel.shop);
        if (!shown(parcel.title).isEmpty())
            text += QStringLiteral("\nЧто в ней: ") + shown(parcel.title);
        return text;
    }
    QStringList numbers;
    for (const Parcel& parcel : parcels)
        numbers += shown(parcel.number);
    return QStringLiteral("Удалить выбранные записи (%1)?\n\n").arg(parcels.size()) + Prompts::listed(numbers);
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
        if (const int row = added ? m_views.grid->reveal(*added) : 0; row != 0) {
            m_views.grid->setSelectedRow(row);
            m_views.grid->scrollToRow(m_views.grid->selectedRow());
            showSelectedHistory();
        }
    });
}

ParcelListController::GridReload ParcelListController::reloadGrid(QString* cause)
{
    if (!m_store)
        return GridReload::Failed;
    std::vector<Parcel> parcels;
    std::string fieldFailure;
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
    // As the grid has it, read with the list; only the user's own click marks it seen. An
    // unchanged text is left alone, with whatever the user selected in it.
    const Parcel* shown = m_views.grid->selectedParcel();
    const QString text = shown ? historyForView(shown->history) : QString();
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
        if (refused() || !m_store)
            return;
        if (m_lastReadEmpty)
            return;
        const int row = m_views.grid->selectedRow();
        const Parcel* shown = m_views.grid->selectedParcel();
        const std::int64_t id = ParcelStore::rowId(shown ? *shown : Parcel());
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
        if (m_views.grid->isRowBold(row) && m_store->markSeen(id, parcel->status))
            m_views.grid->setRowBold(row, false);
    });
}

void ParcelListController::deleteSelected()
{
    m_guard.run([this] {
        if (refused())
            return;
        std::size_t asked = 0;
        int removed = 0;
        try {
            if (!m_store)
                throw ESQLiteException("The database is not open");
            const bool anyParcel = !m_store->parcels().empty();
            m_lastReadEmpty = !anyParcel;
            // With no parcel row in the grid (one that missed rows another program added) there
            // is no selected parcel to ask about: the refresh below shows them. Copies: the grid
            // may be refilled while the question is open.
            std::vector<Parcel> chosen;
            for (const Parcel* parcel : m_views.grid->selectedParcels())
                chosen.push_back(*parcel);
            if (anyParcel && !chosen.empty()) {
                QWidget* owner = QApplication::activeWindow();
                const auto answer =
                    m_prompts.askYesNo(QStringLiteral("Подтверждение"), deleteQuestion(chosen), Prompts::Icon::Warning,
                                       Prompts::Button::No, owner ? owner : m_views.window);
                if (answer == Prompts::Button::Yes && m_store) {
                    std::vector<std::int64_t> ids;
                    for (const Parcel& parcel : chosen)
                        ids.push_back(ParcelStore::rowId(parcel));
                    removed = m_store->removeAll(ids);
                    asked = ids.size();
                    // A row left by a failure here is dropped when the table is next prepared.
                    for (const std::int64_t id : ids)
                        m_store->forgetSeen(id);
                }
            }
        } catch (...) {
            m_prompts.showError(QStringLiteral("Ошибка - Во время удаление данных!"), currentDatabaseErrorText());
        }
        refresh();
        // Said over the list as it is now, not as it was.
        if (asked == 1 && removed == 0)
            m_prompts.showMessage(kParcelGone, Prompts::Icon::Information);
        else if (std::size_t(removed) < asked)
            m_prompts.showMessage(kSomeParcelsGone, Prompts::Icon::Information);
    });
}

// ---------------------------------------------------------------------------------------------
// The parcel dialog

void ParcelListController::addParcel(TFm_Track& dialog)
{
    m_guard.run([this, &dialog] {
        if (refused())
            return;
        dialog.askNew([this](const Parcel& typed) { return save(typed); });
    });
}

void ParcelListController::editSelected(TFm_Track& dialog)
{
    m_guard.run([this, &dialog] {
        if (refused())
            return;
        // No dialog opens for a parcel that is not there: its save could change no row.
        if (const std::optional<Parcel> parcel = parcelToEdit())
            dialog.askEdit(*parcel, [this](const Parcel& typed) { return save(typed); });
    });
}

std::optional<Parcel> ParcelListController::parcelToEdit()
{
    if (m_views.grid->selectedRow() == 0) {
        // The grid may have missed parcels another program added while a menu was open.
        refresh();
        m_prompts.showMessage(m_views.grid->parcelRowCount() == 0 ? kNoParcelToEdit : kChooseParcelToEdit,
                              Prompts::Icon::Information);
        return std::nullopt;
    }
    try {
        if (!m_store)
            throw ESQLiteException("The database is not open");
        const std::int64_t id = ParcelStore::rowId(*m_views.grid->selectedParcel());
        std::optional<Parcel> parcel = m_store->parcel(id);
        m_lastReadEmpty = !parcel;
        if (!parcel) {
            // Deleted by another window or program since the grid was filled.
            refresh();
            m_prompts.showMessage(kParcelGone, Prompts::Icon::Information);
        }
        return parcel;
    } catch (...) {
        m_prompts.showError(QStringLiteral("Ошибка - Загрузки изменненых данных!"), currentDatabaseErrorText());
        return std::nullopt;
    }
}

bool ParcelListController::save(const Parcel& typed)
{
    const bool adding = !typed.id;
    bool saved = false;
    m_guard.run([&] {
        // A failed statement, or an edit of a parcel that is gone, keeps the dialog open with
        // everything typed, so that the user can try again or copy it.
        try {
            if (!m_store)
                throw ESQLiteException("The database is not open");
            if (adding) {
                if (!addAgainAsked(typed.number))
                    return;
                m_addedParcelId = m_store->insert(typed);
            } else if (!m_store->edit(typed)) {
                refresh();
                m_prompts.showMessage(kParcelGoneOnSave, Prompts::Icon::Warning);
                return;
            }
        } catch (...) {
            m_prompts.showError(adding ? QStringLiteral("Ошибка - Во время добавление данных возникла")
                                       : QStringLiteral("Ошибка - Во время сохранения измененных данных"),
                                currentDatabaseErrorText());
            return;
        }
        saved = true;
        refresh();
    });
    return saved;
}

void ParcelListController::lookSoon()
{
    if (m_databaseWatch)
        m_databaseWatch->lookSoon();
}
