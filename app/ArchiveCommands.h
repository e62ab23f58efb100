#pragma once

#include <QObject>
#include <QString>

#include <functional>

class HandlerGuard;
class ParcelGrid;
class ParcelListController;
class Prompts;

// The window's archive: "В архив" and "Вернуть из архива" on every selected parcel, "Показать
// архив" (archived parcels greyed among the rest, or left out), and after a check run one line in
// the status log naming how many delivered parcels could go to the archive, each parcel offered
// once. Each operation is a handler's whole body and runs under the window's guard.
class ArchiveCommands : public QObject
{
    Q_OBJECT

public:
    ArchiveCommands(ParcelListController& list, ParcelGrid* grid, Prompts& prompts, const HandlerGuard& guard,
                    std::function<void(const QString&)> appendStatusLine, QObject* parent = nullptr);

    void toArchive() { setSelectedArchived(true); }
    void fromArchive() { setSelectedArchived(false); }
    void showArchived(bool shown);
    // Counts the delivered parcels not yet offered and not archived, notes them as offered, and
    // names their number in the status log; nothing when there are none or nothing can be noted.
    void offerDelivered();

private:
    void setSelectedArchived(bool archived);

    ParcelListController& m_list;
    ParcelGrid* m_grid;
    Prompts& m_prompts;
    const HandlerGuard& m_guard;
    std::function<void(const QString&)> m_appendStatusLine;
};
