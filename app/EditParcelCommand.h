#pragma once

#include <optional>

class HandlerGuard;
class ParcelGrid;
class ParcelListController;
class Prompts;
class TFm_Track;
struct Parcel;

// "Редактирова посылку": the selected parcel, as stored now, in the parcel dialog; what the
// dialog takes is written back to its row. No dialog opens for a parcel that is not there.
class EditParcelCommand
{
public:
    EditParcelCommand(ParcelListController& list, ParcelGrid& grid, TFm_Track& dialog, Prompts& prompts,
                      const HandlerGuard& guard);

    void run();

private:
    // The selected parcel as stored now; nothing (the user has been told) when there is none.
    std::optional<Parcel> parcelToEdit();
    // Writes what the dialog took; false (the user has been told) keeps the dialog open.
    bool save(const Parcel& typed);

    ParcelListController& m_list;
    ParcelGrid& m_grid;
    TFm_Track& m_dialog;
    Prompts& m_prompts;
    const HandlerGuard& m_guard;
};
