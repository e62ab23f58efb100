#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

class HandlerGuard;
class ParcelGrid;
class ParcelListController;
class Prompts;

// The window's archive: "В архив" and "Вернуть из архива" on every selected parcel, each with
// one line in the status log, "Показать архив" (archived parcels greyed among the rest, or left
// out), and after a check run the delivered parcels offered for the archive: a line in the status
// log and a question naming them, each parcel offered once. Each operation is a handler's whole
// body and runs under the window's guard.
class ArchiveCommands : public QObject
{
    Q_OBJECT

public:
    ArchiveCommands(ParcelListController& list, ParcelGrid* grid, Prompts& prompts, const HandlerGuard& guard,
                    std::function<void(const QString&)> appendStatusLine, QObject* parent = nullptr);

    void toArchive() { setSelectedArchived(true); }
    void fromArchive() { setSelectedArchived(false); }
    void showArchived(bool shown);
    // Finds the delivered parcels not yet offered and not archived, notes them as offered, says
    // how many in the status log and asks whether they go to the archive; "Да" puts exactly them
    // there. Nothing when there are none or nothing can be noted.
    void offerDelivered();

private:
    void setSelectedArchived(bool archived);
    // Puts `ids` in the archive or takes them out, with its log line; false (the user has been
    // told why) when nothing changed.
    bool archive(const std::vector<std::int64_t>& ids, bool archived);

    ParcelListController& m_list;
    ParcelGrid* m_grid;
    Prompts& m_prompts;
    const HandlerGuard& m_guard;
    std::function<void(const QString&)> m_appendStatusLine;
};
