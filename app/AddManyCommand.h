#pragma once

#include "parcels/AddManyDialog.h"

class HandlerGuard;
class ParcelGrid;
class ParcelListController;
class Prompts;
class QWidget;

// "Добавить несколько посылок…": many numbers, pasted, with one shop and one title, added at
// once. What is no number is named and never added; numbers stored already (or met twice) are
// skipped unless the user wants them anyway; the new parcels are selected afterwards.
class AddManyCommand
{
public:
    // `window`: the parent of the dialog, made when first needed.
    AddManyCommand(ParcelListController& list, ParcelGrid& grid, Prompts& prompts, const HandlerGuard& guard,
                   QWidget* window);

    void run();

private:
    // Adds what the dialog took; false keeps the dialog open with the text (the user went back
    // to it, or has been told why).
    bool save(const AddManyDialog::Batch& batch);

    ParcelListController& m_list;
    ParcelGrid& m_grid;
    Prompts& m_prompts;
    const HandlerGuard& m_guard;
    QWidget* m_window;
    AddManyDialog* m_dialog = nullptr;
};
