#pragma once

class HandlerGuard;
class ParcelGrid;
class ParcelListController;
class Prompts;
class QWidget;

// "Удалить посылку": the selected parcels go after a question that names them, and the list is
// refreshed in every case; a parcel another window or program deleted meanwhile is said to be
// gone.
class DeleteParcelsCommand
{
public:
    // `window`: the owner of the question when no window of the program is active.
    DeleteParcelsCommand(ParcelListController& list, ParcelGrid& grid, Prompts& prompts, const HandlerGuard& guard,
                         QWidget* window);

    void run();

private:
    ParcelListController& m_list;
    ParcelGrid& m_grid;
    Prompts& m_prompts;
    const HandlerGuard& m_guard;
    QWidget* m_window;
};
