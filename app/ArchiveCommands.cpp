#include "app/ArchiveCommands.h"

#include "app/HandlerGuard.h"
#include "app/ParcelListController.h"
#include "app/Prompts.h"
#include "parcels/ParcelGrid.h"
#include "parcels/VisibleText.h"
#include "store/DatabaseErrorText.h"
#include "store/ParcelStore.h"

#include <QApplication>

#include <unordered_map>
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
        archive(ids, archived);
        m_list.refresh();
    });
}

bool ArchiveCommands::archive(const std::vector<std::int64_t>& ids, bool archived)
{
    if (ids.empty())
        return false;
    try {
        m_list.store()->setArchived(ids, archived);
    } catch (const ESQLiteException& error) {
        m_prompts.showError(archived ? QStringLiteral("Ошибка - Посылки не перенесены в архив")
                                     : QStringLiteral("Ошибка - Посылки не возвращены из архива"),
                            databaseErrorText(error));
        return false;
    }
    m_appendStatusLine(archived ? QStringLiteral(" Перенесено в архив посылок: %1").arg(ids.size())
                                : QStringLiteral(" Возвращено из архива посылок: %1").arg(ids.size()));
    return true;
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
        std::vector<std::int64_t> offered;
        std::unordered_map<std::int64_t, QString> numbers;
        try {
            std::vector<std::int64_t> delivered;
            for (const Parcel& parcel : m_list.store()->parcels()) {
                if (parcel.id && !parcel.archived && ArchiveMarks::handedOver(parcel.status)) {
                    delivered.push_back(*parcel.id);
                    numbers.emplace(*parcel.id, visibleText(parcel.number).simplified());
                }
            }
            offered = m_list.store()->offerForArchive(delivered);
        } catch (const std::exception&) {
            // A file that cannot note the offer (read-only, locked) offers nothing: the same
            // parcels would be named after every run.
            return;
        }
        if (offered.empty())
            return;
        m_appendStatusLine(QStringLiteral(" Вручённых посылок, которые можно перенести в архив: %1 (меню «В архив»)")
                               .arg(offered.size()));
        // Exactly the parcels named go, whatever the list holds by the time the user answers.
        QStringList named;
        for (const std::int64_t id : offered)
            named += numbers[id];
        const auto answer =
            m_prompts.askYesNo(QStringLiteral("Подтверждение"),
                               QStringLiteral("Переместить в архив %1 доставленных посылок?\n\n").arg(offered.size())
                                   + Prompts::listed(named),
                               Prompts::Icon::Information, Prompts::Button::No, QApplication::activeWindow());
        if (answer == Prompts::Button::Yes && !m_list.closed() && m_list.store() && archive(offered, true))
            m_list.refresh();
    });
}
