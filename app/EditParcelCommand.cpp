#include "app/EditParcelCommand.h"

#include "app/HandlerGuard.h"
#include "app/ParcelGoneText.h"
#include "app/ParcelListController.h"
#include "app/Prompts.h"
#include "parcels/ParcelGrid.h"
#include "parcels/TFm_Track.h"
#include "store/DatabaseErrorText.h"
#include "store/ParcelStore.h"

namespace {

const QString kParcelGoneOnSave =
    QStringLiteral("Этой посылки уже нет в списке: её удалили в другом окне или другой программой, поэтому "
                   "изменения не сохранены. Всё введённое осталось в окне.");
const QString kNoParcelToEdit = QStringLiteral("В списке нет ни одной посылки: изменять нечего.");
const QString kChooseParcelToEdit =
    QStringLiteral("Список обновлён: выберите в нём посылку и снова откройте «Редактирова посылку».");

} // namespace

EditParcelCommand::EditParcelCommand(ParcelListController& list, ParcelGrid& grid, TFm_Track& dialog, Prompts& prompts,
                                     const HandlerGuard& guard)
    : m_list(list), m_grid(grid), m_dialog(dialog), m_prompts(prompts), m_guard(guard)
{
}

void EditParcelCommand::run()
{
    m_guard.run([this] {
        if (m_list.commandsRefused())
            return;
        // No dialog opens for a parcel that is not there: its save could change no row.
        if (const std::optional<Parcel> parcel = parcelToEdit())
            m_dialog.askEdit(*parcel, [this](const Parcel& typed) { return save(typed); });
    });
}

std::optional<Parcel> EditParcelCommand::parcelToEdit()
{
    const std::optional<Parcel> chosen = m_grid.currentParcel();
    if (!chosen) {
        // The grid may have missed parcels another program added while a menu was open.
        m_list.refresh();
        m_prompts.showMessage(m_grid.parcelRowCount() == 0 ? kNoParcelToEdit : kChooseParcelToEdit,
                              Prompts::Icon::Information);
        return std::nullopt;
    }
    try {
        ParcelStore* store = m_list.store();
        if (!store)
            throw ESQLiteException("The database is not open");
        std::optional<Parcel> parcel = store->parcel(ParcelStore::rowId(*chosen));
        m_list.noteParcelsFound(parcel.has_value());
        if (!parcel) {
            // Deleted by another window or program since the grid was filled.
            m_list.refresh();
            m_prompts.showMessage(parcelGoneText(), Prompts::Icon::Information);
        }
        return parcel;
    } catch (...) {
        m_prompts.showError(QStringLiteral("Ошибка - Загрузки изменненых данных!"), currentDatabaseErrorText());
        return std::nullopt;
    }
}

bool EditParcelCommand::save(const Parcel& typed)
{
    bool saved = false;
    m_guard.run([&] {
        // A failed statement, or an edit of a parcel that is gone, keeps the dialog open with
        // everything typed, so that the user can try again or copy it.
        try {
            ParcelStore* store = m_list.store();
            if (!store)
                throw ESQLiteException("The database is not open");
            if (!store->edit(typed)) {
                m_list.refresh();
                m_prompts.showMessage(kParcelGoneOnSave, Prompts::Icon::Warning);
                return;
            }
        } catch (...) {
            m_prompts.showError(QStringLiteral("Ошибка - Во время сохранения измененных данных"),
                                currentDatabaseErrorText());
            return;
        }
        saved = true;
        m_list.refresh();
    });
    return saved;
}
