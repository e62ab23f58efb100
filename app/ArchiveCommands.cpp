#include "app/ArchiveCommands.h"

#include "app/HandlerGuard.h"
#include "app/ParcelListController.h"
#include "app/Prompts.h"
#include "parcels/ParcelGrid.h"
#include "store/DatabaseErrorText.h"
#include "store/ParcelStore.h"

#include <utility>

ArchiveCommands::ArchiveCommands(ParcelListController& list, ParcelGrid* grid, Prompts& prompts,
                                 const HandlerGuard& guard, std::function<void(const QString&)> appendStatusLine,
                                 QObject* parent)
    : QObject(parent), m_list(list), m_grid(grid), m_prompts(prompts), m_guard(guard),
      m_appendStatusLine(std::move(appendStatusLine))
{
}

void ArchiveCommands::setSelectedArchived(bool archived)
{
    m_guard.run([this, archived] {
        if (m_list.closed() || !m_list.store())
            return;
        std::vector<std::int64_t> ids;
        for (const Parcel* parcel : m_grid->selectedParcels()) {
            if (parcel && parcel->id && parcel->archived != archived)
                ids.push_back(*parcel->id);
        }
        try {
            m_list.store()->setArchived(ids, archived);
        } catch (const ESQLiteException& error) {
            m_prompts.showError(archived ? QStringLiteral("Ошибка - Посылки не перенесены в архив")
                                         : QStringLiteral("Ошибка - Посылки не возвращены из архива"),
                                databaseErrorText(error));
        }
        m_list.refresh();
    });
}

void ArchiveCommands::showArchived(bool shown)
{
    m_guard.run([this, shown] {
        if (!m_list.closed())
            m_list.setShowArchived(shown);
    });
}

void ArchiveCommands::offerDelivered()
{
    m_guard.run([this] {
        if (m_list.closed() || !m_list.store())
            return;
        int offered = 0;
        try {
            std::vector<std::int64_t> delivered;
            for (const Parcel& parcel : m_list.store()->parcels()) {
                if (parcel.id && !parcel.archived && ArchiveMarks::handedOver(parcel.status))
                    delivered.push_back(*parcel.id);
            }
            offered = m_list.store()->offerForArchive(delivered);
        } catch (const std::exception&) {
            // A file that cannot note the offer (read-only, locked) offers nothing: the same
            // parcels would be named after every run.
            return;
        }
        if (offered > 0)
            m_appendStatusLine(
                QStringLiteral(" Вручённых посылок, которые можно перенести в архив: %1 (меню «В архив»)")
                    .arg(offered));
    });
}
