#include "app/AddParcelCommand.h"

#include "app/HandlerGuard.h"
#include "app/ParcelListController.h"
#include "app/Prompts.h"
#include "app/StoredNumbers.h"
#include "parcels/TFm_Track.h"
#include "store/DatabaseErrorText.h"
#include "store/ParcelStore.h"

#include <QApplication>

AddParcelCommand::AddParcelCommand(ParcelListController& list, TFm_Track& dialog, Prompts& prompts,
                                   const HandlerGuard& guard)
    : m_list(list), m_dialog(dialog), m_prompts(prompts), m_guard(guard)
{
}

void AddParcelCommand::run()
{
    m_guard.run([this] {
        if (m_list.commandsRefused())
            return;
        m_dialog.askNew([this](const Parcel& typed) { return save(typed); });
    });
}

bool AddParcelCommand::save(const Parcel& typed)
{
    bool saved = false;
    m_guard.run([&] {
        // A failed statement keeps the dialog open with everything typed, so that the user can
        // try again or copy it.
        std::int64_t id = 0;
        try {
            ParcelStore* store = m_list.store();
            if (!store)
                throw ESQLiteException("The database is not open");
            if (!addAgainAsked(typed.number))
                return;
            id = store->insert(typed);
        } catch (...) {
            m_prompts.showError(QStringLiteral("Ошибка - Во время добавление данных возникла"),
                                currentDatabaseErrorText());
            return;
        }
        saved = true;
        m_list.refreshRevealing(id);
    });
    return saved;
}

bool AddParcelCommand::addAgainAsked(const QString& number)
{
    // Raises with the store: the add then fails with its own box.
    const StoredNumbers stored(*m_list.store());
    const QString typed = StoredNumbers::comparable(number);
    if (!stored.contains(typed))
        return true;
    return m_prompts.askYesNo(
               QStringLiteral("Подтверждение"),
               QStringLiteral("Посылка с номером %1 уже есть в списке. Добавить её ещё раз?").arg(stored.named(typed)),
               Prompts::Icon::Warning, Prompts::Button::No, QApplication::activeWindow())
           == Prompts::Button::Yes;
}
