#include "app/DeleteParcelsCommand.h"

#include "app/HandlerGuard.h"
#include "app/ParcelGoneText.h"
#include "app/ParcelListController.h"
#include "app/Prompts.h"
#include "parcels/ParcelGrid.h"
#include "parcels/VisibleText.h"
#include "store/DatabaseErrorText.h"
#include "store/ParcelStore.h"

#include <QApplication>
#include <QStringList>

#include <vector>

namespace {

const QString kSomeParcelsGone =
    QStringLiteral("Не все выбранные посылки были в списке: часть из них удалили в другом окне или другой программой.");

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

DeleteParcelsCommand::DeleteParcelsCommand(ParcelListController& list, ParcelGrid& grid, Prompts& prompts,
                                           const HandlerGuard& guard, QWidget* window)
    : m_list(list), m_grid(grid), m_prompts(prompts), m_guard(guard), m_window(window)
{
}

void DeleteParcelsCommand::run()
{
    m_guard.run([this] {
        if (m_list.commandsRefused())
            return;
        std::size_t asked = 0;
        int removed = 0;
        try {
            if (!m_list.store())
                throw ESQLiteException("The database is not open");
            const bool anyParcel = !m_list.store()->parcels().empty();
            m_list.noteParcelsFound(anyParcel);
            // With no parcel row in the grid (one that missed rows another program added) there
            // is no selected parcel to ask about: the refresh below shows them. Copies: the grid
            // may be refilled while the question is open.
            const std::vector<Parcel> chosen = m_grid.selectedParcels();
            if (anyParcel && !chosen.empty()) {
                QWidget* owner = QApplication::activeWindow();
                const auto answer =
                    m_prompts.askYesNo(QStringLiteral("Подтверждение"), deleteQuestion(chosen), Prompts::Icon::Warning,
                                       Prompts::Button::No, owner ? owner : m_window);
                // The window may have closed while the question was open.
                if (ParcelStore* store = m_list.store(); answer == Prompts::Button::Yes && store) {
                    std::vector<std::int64_t> ids;
                    for (const Parcel& parcel : chosen)
                        ids.push_back(ParcelStore::rowId(parcel));
                    removed = store->removeAll(ids);
                    asked = ids.size();
                    // A row left by a failure here is dropped when the table is next prepared.
                    for (const std::int64_t id : ids)
                        store->forgetSeen(id);
                }
            }
        } catch (...) {
            m_prompts.showError(QStringLiteral("Ошибка - Во время удаление данных!"), currentDatabaseErrorText());
        }
        m_list.refresh();
        // Said over the list as it is now, not as it was.
        if (asked == 1 && removed == 0)
            m_prompts.showMessage(parcelGoneText(), Prompts::Icon::Information);
        else if (std::size_t(removed) < asked)
            m_prompts.showMessage(kSomeParcelsGone, Prompts::Icon::Information);
    });
}
